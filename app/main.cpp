#include "mainwindow.h"
#include "qttranslation.h"
#include "settingsstore.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tovrak"));
    QApplication::setApplicationName(QStringLiteral("velTor"));
    QApplication::setApplicationVersion(QStringLiteral(VELTOR_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.svg")));
    QApplication::setDesktopFileName(QStringLiteral("veltor"));
    app::installQtTranslation();

    app::SettingsStore store;
    app::MainWindow window(store);
    window.show();
    return application.exec();
}
