#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that the box, its caption and
// its icon are the same everywhere, and so that tests can answer a box without showing it.
namespace ui {

inline const QString kAppTitle = QStringLiteral("velTor");

struct MessageRequest
{
    QWidget *parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // Captions of the buttons in the order of their StandardButton values (Yes, No,
    // Cancel), for a question whose answers are not yes and no; empty for the standard ones.
    QStringList captions = {};
};

// Shows a box captioned "velTor" and returns the button pressed.
QMessageBox::StandardButton message(const MessageRequest &request);

inline QMessageBox::StandardButton warn(QWidget *parent, const QString &text)
{
    return message({parent, QMessageBox::Warning, text, QMessageBox::Ok});
}
inline QMessageBox::StandardButton inform(QWidget *parent, const QString &text)
{
    return message({parent, QMessageBox::Information, text, QMessageBox::Ok});
}
inline bool askYesNo(QWidget *parent, const QString &text)
{
    return message({parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

// The standard error box: the error's text with a full stop appended when its last
// character has a higher code than ".", the error icon.
void showError(QWidget *parent, const QString &text);
QString errorBoxText(const QString &text);

// Tests put a handler here; it gets every request instead of a real box.
using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest &)>;
void setMessageHandler(MessageHandler handler);

} // namespace ui
