#pragma once

#include <QSettings>
#include <QString>

namespace app {

// The per-user settings: organisation "Tovrak", application "velTor" (on Windows the key
// HKEY_CURRENT_USER\Software\Tovrak\velTor, elsewhere ~/.config/Tovrak/velTor.conf). Every
// value is written as text; a missing value, or a number that is not decimal text, reads as
// the default.
class SettingsStore
{
public:
    SettingsStore();

    QString readText(const QString &name, const QString &fallback) const;
    int readNumber(const QString &name, int fallback) const;
    // Yes when the value reads as a number other than 0.
    bool readYesNo(const QString &name, bool fallback) const;

    void writeText(const QString &name, const QString &value);
    void writeNumber(const QString &name, int value);
    void writeYesNo(const QString &name, bool value);

private:
    QSettings m_settings;
};

} // namespace app
