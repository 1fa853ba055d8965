#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace dialogs {

// "Создание базы данных": where the new ledger goes, its opening password and its
// description. OK runs the creation the main window hands in; when that fails the dialog
// stays open with what was typed.
class CreateLedgerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CreateLedgerDialog(QWidget *parent = nullptr);

    void setCreator(std::function<void()> creator) { m_creator = std::move(creator); }

    QString filePath() const;
    QString password() const;
    QString description() const;
    // What start-up puts in when no ledger is found.
    void prefill(const QString &file, const QString &description);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void browse();
    void create();

    std::function<void()> m_creator;
    QLineEdit *m_file;
    QLineEdit *m_password;
    QLineEdit *m_description;
    QPushButton *m_ok;
};

} // namespace dialogs
