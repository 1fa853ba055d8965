#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace dialogs {

// "Ввод пароля": asks for a ledger's opening password. "Вход" becomes usable only when the
// typed text is exactly the ledger's password.
class PasswordPrompt : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordPrompt(QWidget *parent = nullptr);

    // Shows the prompt modally; returns what the field holds when it closes.
    QString ask(const QString &password);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_password;
    QLineEdit *m_field;
    QPushButton *m_enter;
    QPushButton *m_cancel;
};

} // namespace dialogs
