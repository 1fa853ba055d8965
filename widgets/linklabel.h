#pragma once

#include <QLabel>

namespace ui {

// A label that acts like a link: hand cursor, a click or Enter/Space runs it, and it can
// take the keyboard focus. With `hover` it is blue, underlined, and red under the mouse.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr, bool hover = true);

signals:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Red under the mouse and with the keyboard focus, blue otherwise.
    bool event(QEvent *event) override;

private:
    void highlight(bool on);
    void setColour(const QColor &colour);
    bool m_hover;
};

} // namespace ui
