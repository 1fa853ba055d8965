#include "dialogframe.h"

#include "widgets.h"

#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

void fixDialog(QDialog *dialog, const QString &objectName, const QString &caption, QSize size)
{
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(caption);
    dialog->setFixedSize(size);
}

void keepSmallText(QDialog *dialog)
{
    QFont small = dialog->font();
    small.setPixelSize(11);
    dialog->setFont(small);
}

QWidget *headerBand(QWidget *parent, const Header &header)
{
    const int height = header.height;
    loadResources();
    QFrame *band = whiteBand(parent, height);
    band->setObjectName(QStringLiteral("headerBand"));

    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(8, 4, 8, 4);
    auto *image = new QLabel(band);
    image->setObjectName(QStringLiteral("headerPicture"));
    const int side = height - 8;
    image->setPixmap(QIcon(QStringLiteral(":/pictures/%1.svg").arg(header.picture)).pixmap(side, side));
    image->setFixedSize(side, side);
    layout->addWidget(image);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto *titleLabel = new QLabel(header.title, band);
    titleLabel->setObjectName(QStringLiteral("headerTitle"));
    titleLabel->setFont(tahoma(11, true));
    texts->addWidget(titleLabel);
    if (!header.text.isEmpty()) {
        auto *textLabel = new QLabel(header.text, band);
        textLabel->setObjectName(QStringLiteral("headerText"));
        textLabel->setWordWrap(true);
        textLabel->setFont(tahoma(8));
        texts->addWidget(textLabel, 1);
    }
    texts->addStretch();
    layout->addLayout(texts, 1);
    return band;
}

DialogFrame frameDialog(QDialog *dialog, QWidget *band, const FrameSpacing &spacing)
{
    DialogFrame frame;
    frame.line = horizontalLine(dialog);
    frame.body = new QVBoxLayout;
    frame.body->setContentsMargins(spacing.body);
    if (spacing.inBody >= 0)
        frame.body->setSpacing(spacing.inBody);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(spacing.outer);
    layout->setSpacing(spacing.between);
    layout->addWidget(band);
    layout->addWidget(frame.line);
    layout->addLayout(frame.body, 1);
    return frame;
}

DialogFrame frameDialog(QDialog *dialog, const Header &header, const FrameSpacing &spacing)
{
    return frameDialog(dialog, headerBand(dialog, header), spacing);
}

QLabel *captionFor(QWidget *field, const QString &caption, const QString &accessibleName)
{
    auto *label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    QString name = accessibleName;
    if (name.isEmpty()) {
        name = caption;
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
    }
    nameForAccessibility(field, name);
    return label;
}

QLabel *addLabelledField(QGridLayout *grid, int row, const QString &caption, QWidget *field, Qt::Alignment alignment,
                         const QString &accessibleName)
{
    QLabel *label = captionFor(field, caption, accessibleName);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, alignment);
    return label;
}

void setTabChain(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *button : buttons)
        row->addWidget(button);
    return row;
}

QHBoxLayout *okCancelRow(QWidget *parent, QPushButton **ok, QPushButton **cancel)
{
    *ok = new QPushButton(QStringLiteral("ОК"), parent);
    (*ok)->setObjectName(QStringLiteral("Button3"));
    (*ok)->setDefault(true);
    *cancel = new QPushButton(QStringLiteral("Отмена"), parent);
    (*cancel)->setObjectName(QStringLiteral("Button2"));
    return buttonRow({*ok, *cancel});
}

} // namespace ui
