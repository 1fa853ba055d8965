#include "passwordprompt.h"

#include "widgets/dialogframe.h"
#include "widgets/widgets.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dialogs {

PasswordPrompt::PasswordPrompt(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    ui::loadResources();
    ui::fixDialog(this, QStringLiteral("TForm9"), QStringLiteral("Ввод пароля"), QSize(241, 100));

    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/key.svg")).pixmap(32, 32));
    picture->setFixedSize(32, 32);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("Edit1"));
    ui::makePasswordField(m_field);
    const QString caption = QStringLiteral("Введите пароль на базу данных:");
    QLabel *label = ui::captionFor(m_field, caption, caption);
    label->setObjectName(QStringLiteral("Label1"));

    m_enter = new QPushButton(QStringLiteral("Вход"), this);
    m_enter->setObjectName(QStringLiteral("Button1"));
    m_enter->setDefault(true);
    m_enter->setEnabled(false);
    auto *cancel = m_cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Button2"));

    auto *fields = new QVBoxLayout;
    fields->addWidget(label);
    fields->addWidget(m_field);
    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(fields, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addLayout(ui::buttonRow({m_enter, cancel}));

    connect(m_field, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_enter->setEnabled(text == m_password); });
    connect(m_enter, &QPushButton::clicked, this, &QDialog::accept);
    // Отмена and Esc empty the field; the title bar's close keeps what was typed.
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_field->clear();
        reject();
    });
}

QString PasswordPrompt::ask(const QString &password)
{
    m_password = password;
    // Each question starts empty; a prompt shown again after being minimized keeps what
    // was typed.
    m_field->clear();
    m_enter->setEnabled(m_field->text() == m_password);
    m_field->setFocus();
    exec();
    return m_field->text();
}

void PasswordPrompt::keyPressEvent(QKeyEvent *event)
{
    // Esc is the cancel button's key: it empties the field like Отмена.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace dialogs
