#pragma once

#include <QDateTime>
#include <QDialog>

class QFrame;
class QVBoxLayout;

namespace ui {
class LinkLabel;
}

namespace app {

// "О программе "VelTor"": the product, its version and release date.
class AboutWindow : public QDialog
{
    Q_OBJECT

public:
    // The release date is that of `executable`, the running program's file by default.
    explicit AboutWindow(QWidget *parent = nullptr, const QString &executable = QString());

private:
    // The white band: the tall picture beside the product's texts.
    QFrame *buildBand(const QString &executable);
    QVBoxLayout *buildTexts(QFrame *band, const QString &executable);
    ui::LinkLabel *makerLink(QFrame *band);
};

// The n-th (1-based) field of a text at a separator: n - 1 times everything up to and
// including the first separator is dropped, then the separators now at the start; the field
// is what is left up to the next separator. A text of fewer fields gives its last one again.
QString takeField(const QString &text, int n, QChar separator);
// "Версия: 1.8 (build 240)" from "1.8.1.240"; an empty version text counts as "0.0.0.0".
QString versionLine(const QString &versionText);
// "Дата выпуска: 21.07.2008 г."
QString releaseDateLine(const QDateTime &modified);

// The version compiled into the program, "1.8.1.240".
QString compiledVersion();
// The maker's web site.
extern const char *const kMakerSite;

} // namespace app
