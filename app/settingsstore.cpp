#include "settingsstore.h"

namespace app {

SettingsStore::SettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tovrak"), QStringLiteral("velTor"))
{
}

QString SettingsStore::readText(const QString &name, const QString &fallback) const
{
    const QVariant value = m_settings.value(name);
    return value.isValid() ? value.toString() : fallback;
}

int SettingsStore::readNumber(const QString &name, int fallback) const
{
    const QVariant value = m_settings.value(name);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok, 10);
    return ok ? number : fallback;
}

bool SettingsStore::readYesNo(const QString &name, bool fallback) const
{
    return readNumber(name, fallback ? 1 : 0) != 0;
}

void SettingsStore::writeText(const QString &name, const QString &value)
{
    m_settings.setValue(name, value);
    m_settings.sync();
}

void SettingsStore::writeNumber(const QString &name, int value)
{
    writeText(name, QString::number(value));
}

void SettingsStore::writeYesNo(const QString &name, bool value)
{
    writeText(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace app
