#include "messages.h"

namespace ui {

namespace {
MessageHandler &handler()
{
    static MessageHandler instance;
    return instance;
}
} // namespace

void setMessageHandler(MessageHandler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton message(const MessageRequest &request)
{
    if (handler())
        return handler()(request);
    QMessageBox box(request.icon, kAppTitle, request.text, request.buttons, request.parent);
    box.setObjectName(QStringLiteral("velTorMessage"));
    return QMessageBox::StandardButton(box.exec());
}

QString errorBoxText(const QString &text)
{
    if (!text.isEmpty() && text.at(text.size() - 1).unicode() > QLatin1Char('.').unicode())
        return text + QLatin1Char('.');
    return text;
}

void showError(QWidget *parent, const QString &text)
{
    message({parent, QMessageBox::Critical, errorBoxText(text), QMessageBox::Ok});
}

} // namespace ui
