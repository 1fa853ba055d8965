#pragma once

#include <QDialog>

#include <optional>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace ledger {
class Session;
}

namespace app {

class SettingsStore;
class StoredText;

// "Настройки": the ledger opened at start-up, the internet and income highlight settings
// (kept in the settings store), and the open ledger's password and description (kept in
// the ledger itself).
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    SettingsDialog(SettingsStore &store, ledger::Session &session, QWidget *parent = nullptr);

    // After a ledger has been opened: its path (relative to the application folder when it
    // lies there), password and description, shown whole however long.
    // A field given no value keeps what it holds.
    void setLedgerFields(const QString &path, const std::optional<QString> &password,
                         const std::optional<QString> &description);
    QString description() const;
    void setPasswordAndDescription(const QString &password, const QString &description);

private:
    QGroupBox *buildInterfaceGroup();
    void browse();
    void save();

    SettingsStore &m_store;
    ledger::Session &m_session;
    QLineEdit *m_file;
    QLineEdit *m_password;
    QLineEdit *m_description;
    StoredText *m_storedPassword;
    StoredText *m_storedDescription;
    QCheckBox *m_highlight;
    QCheckBox *m_internet;
    QPushButton *m_ok;
};

} // namespace app
