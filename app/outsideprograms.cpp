#include "outsideprograms.h"

#include "aboutwindow.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace app::outside {

QString findProgram(const QStringList &candidates)
{
    for (const QString &name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

namespace {
void startFirst(const QStringList &candidates)
{
    const QString program = findProgram(candidates);
    if (!program.isEmpty())
        QProcess::startDetached(program, {});
}
} // namespace

void startCalculator()
{
#ifdef Q_OS_WIN
    startFirst({QStringLiteral("calc.exe")});
#else
    startFirst({"gnome-calculator", "kcalc", "galculator", "qalculate-gtk", "mate-calc", "xcalc"});
#endif
}

void startTextEditor()
{
#ifdef Q_OS_WIN
    startFirst({QStringLiteral("notepad.exe")});
#else
    startFirst({"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma", "xed", "featherpad"});
#endif
}

void openWebPage(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
}

QString helpPage()
{
    return QString::fromLatin1(kMakerSite) + QStringLiteral("/page.asp?page=soft&id=138");
}

QString supportPage()
{
    return QString::fromLatin1(kMakerSite) + QStringLiteral("/page.asp?page=support");
}

} // namespace app::outside
