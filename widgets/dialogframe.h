#pragma once

#include <QMargins>
#include <QSize>
#include <QString>
#include <Qt>

#include <initializer_list>

class QDialog;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The pieces the program's dialogs are built of: the white header band, the frame that puts
// the band, a line and the body one under the other, the labelled field and the button row.
namespace ui {

// A dialog of a fixed size, with its object name and caption.
void fixDialog(QDialog *dialog, const QString &objectName, const QString &caption, QSize size);

// Keeps a dialog's texts at the small size its fixed size was laid out for, whatever the
// desktop's font.
void keepSmallText(QDialog *dialog);

// What the white band across the top of a dialog shows: a picture (":/pictures/<name>.svg"),
// a bold title and a wrapped text.
struct Header
{
    QString picture;
    QString title;
    QString text;
    int height = 60;
};

QWidget *headerBand(QWidget *parent, const Header &header);

// How a dialog's frame is spaced. The body takes the height the band and the line leave.
struct FrameSpacing
{
    QMargins outer;        // around the band, the line and the body
    int between = 0;       // between the three
    QMargins body;         // around the body's contents
    int inBody = -1;       // between the body's contents; -1 for the style's spacing
};

struct DialogFrame
{
    QFrame *line = nullptr;       // the sunken line under the band
    QVBoxLayout *body = nullptr;  // where the dialog puts its contents, its button row last
};

// Lays `dialog` out as `band` over a sunken line over the body.
DialogFrame frameDialog(QDialog *dialog, QWidget *band, const FrameSpacing &spacing);
// The same with the program's own header band.
DialogFrame frameDialog(QDialog *dialog, const Header &header, const FrameSpacing &spacing);

// A label for `field`, made beside it in the same parent, with the field as its buddy. The
// caption without its closing colon names the field for screen readers, unless an
// `accessibleName` is given.
QLabel *captionFor(QWidget *field, const QString &caption, const QString &accessibleName = QString());

// `field` with its caption in a row of `grid`: the caption in column 0, the field in column 1.
QLabel *addLabelledField(QGridLayout *grid, int row, const QString &caption, QWidget *field,
                         Qt::Alignment alignment = Qt::Alignment(), const QString &accessibleName = QString());

// Tab goes from each of `widgets` to the next, in the order given.
void setTabChain(std::initializer_list<QWidget *> widgets);

// A dialog's buttons in a row at the right, in the order given.
QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons);

// The row of a dialog's "ОК" (Button3, the default button) and "Отмена" (Button2) at the
// right; the two buttons are handed back.
QHBoxLayout *okCancelRow(QWidget *parent, QPushButton **ok, QPushButton **cancel);

} // namespace ui
