#include "aboutwindow.h"

#include "bandtext.h"

#include "widgets/linklabel.h"

#include "widgets/widgets.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifndef VELTOR_VERSION
#define VELTOR_VERSION ""
#endif

namespace app {

const char *const kMakerSite = "http://www.tovrak.ru";

QString compiledVersion()
{
    return QStringLiteral(VELTOR_VERSION);
}

QString takeField(const QString &text, int n, QChar separator)
{
    QString rest = text;
    for (int i = 1; i < n; ++i) {
        const qsizetype at = rest.indexOf(separator);
        if (at >= 0)
            rest.remove(0, at + 1);
        qsizetype lead = 0;
        while (lead < rest.size() && rest.at(lead) == separator)
            ++lead;
        rest.remove(0, lead);
    }
    const qsizetype end = rest.indexOf(separator);
    return end < 0 ? rest : rest.left(end);
}

QString versionLine(const QString &versionText)
{
    const QString version = versionText.isEmpty() ? QStringLiteral("0.0.0.0") : versionText;
    const QChar dot = QLatin1Char('.');
    return QStringLiteral("Версия: ") + takeField(version, 1, dot) + dot + takeField(version, 2, dot)
           + QStringLiteral(" (build ") + takeField(version, 4, dot) + QLatin1Char(')');
}

QString releaseDateLine(const QDateTime &modified)
{
    return QStringLiteral("Дата выпуска: ") + modified.date().toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" г.");
}

AboutWindow::AboutWindow(QWidget *parent, const QString &executable)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    ui::loadResources();
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("О программе \"VelTor\""));
    setFixedSize(432, 351);

    QFrame *band = buildBand(executable);
    QFrame *line = ui::horizontalLine(this);
    auto *ok = new QPushButton(QStringLiteral("ОК"), this);
    ok->setObjectName(QStringLiteral("Button3"));
    ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->setContentsMargins(8, 0, 8, 8);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(band);
    layout->addWidget(line);
    layout->addLayout(buttons);

    // The window opens with the focus on OK, so that Enter and Esc close it.
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QFrame *AboutWindow::buildBand(const QString &executable)
{
    QFrame *band = ui::whiteBand(this, 305);
    auto *picture = new QLabel(band);
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/about-tall.svg")).pixmap(120, 305));
    picture->setFixedSize(120, 305);

    auto *bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(0, 0, 0, 0);
    bandLayout->addWidget(picture);
    bandLayout->addLayout(buildTexts(band, executable), 1);
    return band;
}

QVBoxLayout *AboutWindow::buildTexts(QFrame *band, const QString &executable)
{
    QLabel *name = bandText(band, "Label7", kProductName, 18);
    QLabel *purpose = bandText(band, "Label8", kProductPurpose, 10);
    purpose->setWordWrap(true);
    QLabel *version = bandText(band, "Label2", versionLine(compiledVersion()), 10);
    const QString program = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    QLabel *released = bandText(band, "Label3", releaseDateLine(QFileInfo(program).lastModified()), 10);
    QLabel *credit = bandText(band, "Label1", QStringLiteral("Разработка: Tovrak, 2008–2026"), 10);

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(8, 16, 8, 16);
    texts->addWidget(name);
    texts->addWidget(purpose);
    texts->addSpacing(24);
    texts->addWidget(version);
    texts->addWidget(released);
    texts->addStretch();
    texts->addWidget(credit);
    texts->addWidget(makerLink(band));
    return texts;
}

ui::LinkLabel *AboutWindow::makerLink(QFrame *band)
{
    auto *link = new ui::LinkLabel(QString::fromLatin1(kMakerSite), band);
    link->setObjectName(QStringLiteral("link1"));
    QFont linkFont = ui::tahoma(10);
    linkFont.setUnderline(true);
    link->setFont(linkFont);
    // Reached by Tab only: the window's focus stays on OK.
    link->setFocusPolicy(Qt::TabFocus);
    connect(link, &ui::LinkLabel::activated, this, [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerSite))); });
    return link;
}

} // namespace app
