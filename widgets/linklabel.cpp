#include "linklabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace ui {

LinkLabel::LinkLabel(const QString &text, QWidget *parent, bool hover)
    : QLabel(text, parent)
    , m_hover(hover)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(text);
    if (m_hover) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        setColour(Qt::blue);
    }
}

void LinkLabel::setColour(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit activated();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        emit activated();
        return;
    }
    QLabel::keyPressEvent(event);
}

bool LinkLabel::event(QEvent *event)
{
    // A dotted frame is not drawn on labels; the hover colour shows the keyboard focus too.
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::FocusIn:
        highlight(true);
        break;
    case QEvent::Leave:
    case QEvent::FocusOut:
        highlight(false);
        break;
    default:
        break;
    }
    return QLabel::event(event);
}

void LinkLabel::highlight(bool on)
{
    if (m_hover)
        setColour(on ? Qt::red : Qt::blue);
}

} // namespace ui
