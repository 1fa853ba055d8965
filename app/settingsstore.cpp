#include "settingsstore.h"

namespace app {

SettingsStore::SettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tovrak"), QStringLiteral("velTor"))
{
}

namespace {

const QString kLedgerKey = QStringLiteral("db");
const QString kInternetKey = QStringLiteral("inet");
const QString kHighlightKey = QStringLiteral("hint");
const QString kWidthKey = QStringLiteral("Width");
const QString kHeightKey = QStringLiteral("Height");
const QString kMaximizedKey = QStringLiteral("windowState");

} // namespace

QString SettingsStore::ledgerPath() const
{
    return readText(kLedgerKey, QStringLiteral("vel.tor"));
}

void SettingsStore::setLedgerPath(const QString &path)
{
    writeText(kLedgerKey, path);
}

bool SettingsStore::internetEnabled() const
{
    return readYesNo(kInternetKey, true);
}

void SettingsStore::setInternetEnabled(bool enabled)
{
    writeYesNo(kInternetKey, enabled);
}

bool SettingsStore::incomeHighlight() const
{
    return readYesNo(kHighlightKey, true);
}

void SettingsStore::setIncomeHighlight(bool enabled)
{
    writeYesNo(kHighlightKey, enabled);
}

SettingsStore::WindowGeometry SettingsStore::windowGeometry() const
{
    const WindowGeometry fallback;
    return {readNumber(kWidthKey, fallback.width), readNumber(kHeightKey, fallback.height),
            readNumber(kMaximizedKey, 0) != 0};
}

void SettingsStore::setWindowGeometry(const WindowGeometry &geometry)
{
    writeNumber(kWidthKey, geometry.width);
    writeNumber(kHeightKey, geometry.height);
    writeNumber(kMaximizedKey, geometry.maximized ? 1 : 0);
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

QString SettingsStore::exportFolder() const
{
    return readText(QStringLiteral("ExportDir"), QString());
}

void SettingsStore::setExportFolder(const QString &folder)
{
    writeText(QStringLiteral("ExportDir"), folder);
}

} // namespace app
