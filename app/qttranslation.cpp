#include "qttranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

namespace {

// Qt's Russian translation keeps the OK button in Latin letters; the program's own boxes
// say "ОК", and so do the standard ones (the generic and the GNOME desktop's wording).
class OkButtonText : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QPlatformTheme") == 0 && qstrcmp(sourceText, "OK") == 0)
            return QStringLiteral("ОК");
        if (qstrcmp(context, "QGnomeTheme") == 0 && qstrcmp(sourceText, "&OK") == 0)
            return QStringLiteral("&ОК");
        return {};
    }
};

} // namespace

bool installQtTranslation()
{
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString &folder : folders) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                             folder)
            && QCoreApplication::installTranslator(translator)) {
            // Installed last, asked first.
            QCoreApplication::installTranslator(new OkButtonText(QCoreApplication::instance()));
            return true;
        }
        delete translator;
    }
    return false;
}

} // namespace app
