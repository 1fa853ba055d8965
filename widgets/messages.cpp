#include "messages.h"

#include "seam.h"

namespace ui {

void setMessageHandler(MessageHandler handler)
{
    handlerOf<MessageHandler>() = std::move(handler);
}

QMessageBox::StandardButton message(const MessageRequest &request)
{
    if (const MessageHandler &handler = handlerOf<MessageHandler>())
        return handler(request);
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
