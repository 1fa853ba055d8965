#include "messages.h"

#include "seam.h"

#include <QAbstractButton>

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
    // The captions go to the buttons by the standard buttons' order: Yes, No, Cancel.
    int caption = 0;
    for (quint32 bit = 1; bit != 0 && caption < request.captions.size(); bit <<= 1) {
        if (!(request.buttons & bit))
            continue;
        if (QAbstractButton *button = box.button(QMessageBox::StandardButton(bit)))
            button->setText(request.captions.at(caption));
        ++caption;
    }
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
