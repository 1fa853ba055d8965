#pragma once

#include <QSettings>
#include <QString>

namespace app {

// The per-user settings: organisation "Tovrak", application "velTor" (on Windows the key
// HKEY_CURRENT_USER\Software\Tovrak\velTor, elsewhere ~/.config/Tovrak/velTor.conf). Each
// setting has one accessor pair here, which alone knows its key and its default: the keys and
// the values as text are a file interface shared with earlier versions. Every value is
// written as text; a missing value, or a number that is not decimal text, reads as the
// default.
class SettingsStore
{
public:
    // The main window's size and whether it was maximized.
    struct WindowGeometry
    {
        int width = 740;
        int height = 550;
        bool maximized = false;
    };

    SettingsStore();

    // "db": the ledger opened at start-up, relative to the application folder when it lies
    // there; "vel.tor" by default.
    QString ledgerPath() const;
    void setLedgerPath(const QString &path);
    // "inet": whether the day's rates may be fetched; yes by default.
    bool internetEnabled() const;
    void setInternetEnabled(bool enabled);
    // "hint": whether the journal highlights incomes; yes by default.
    bool incomeHighlight() const;
    void setIncomeHighlight(bool enabled);
    // "Width", "Height" and "windowState" (0 or 1).
    WindowGeometry windowGeometry() const;
    void setWindowGeometry(const WindowGeometry &geometry);
    // "ExportDir": the folder of the last export; empty before the first.
    QString exportFolder() const;
    void setExportFolder(const QString &folder);

private:
    QString readText(const QString &name, const QString &fallback) const;
    int readNumber(const QString &name, int fallback) const;
    // Yes when the value reads as a number other than 0.
    bool readYesNo(const QString &name, bool fallback) const;

    void writeText(const QString &name, const QString &value);
    void writeNumber(const QString &name, int value);
    void writeYesNo(const QString &name, bool value);

    QSettings m_settings;
};

} // namespace app
