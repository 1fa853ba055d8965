#include "createledgerdialog.h"

#include "app/common/dialogs.h"
#include "app/common/guard.h"
#include "app/common/widgets.h"
#include "ledger/paths.h"

#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ledger {

CreateLedgerDialog::CreateLedgerDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TForm10"));
    setWindowTitle(QStringLiteral("Создание базы данных"));
    setFixedSize(422, 256);

    QWidget *band = ui::headerBand(this, QStringLiteral("create-db"), QStringLiteral("Создание базы данных"),
                                   QStringLiteral("Создание новой базы данных, введите расположение и имя файла, "
                                                  "дополнительное описание и пароль на открытие (не обязательно)"),
                                   91);
    QFrame *line = ui::horizontalLine(this);

    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("Edit2"));
    QPushButton *browseButton = ui::browseButton(this, false); // the dialog shows no tooltips
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Edit1"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(15);
    m_description = new QLineEdit(this);
    m_description->setObjectName(QStringLiteral("Edit3"));
    m_description->setMaxLength(25);

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(frame);
    const auto addRow = [&](int row, const QString &caption, QLineEdit *field) {
        auto *label = new QLabel(caption, frame);
        label->setBuddy(field);
        field->setAccessibleName(caption);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
    };
    addRow(0, QStringLiteral("База данных:"), m_file);
    grid->addWidget(browseButton, 0, 2);
    addRow(1, QStringLiteral("Пароль:"), m_password);
    grid->addWidget(new QLabel(QStringLiteral("(на открытие базы данных)"), frame), 1, 2);
    addRow(2, QStringLiteral("Описание:"), m_description);
    grid->setColumnStretch(1, 1);

    m_ok = new QPushButton(QStringLiteral("ОК"), this);
    m_ok->setObjectName(QStringLiteral("Button3"));
    m_ok->setDefault(true);
    m_ok->setEnabled(false);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(6);
    layout->addWidget(band);
    layout->addWidget(line);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 0, 8, 0);
    body->addWidget(frame);
    body->addStretch();
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    setTabOrder(m_file, browseButton);
    setTabOrder(browseButton, m_password);
    setTabOrder(m_password, m_description);
    setTabOrder(m_description, m_ok);
    setTabOrder(m_ok, cancel);

    connect(m_file, &QLineEdit::textChanged, this, [this](const QString &text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(browseButton, &QPushButton::clicked, this, ui::guarded(this, [this] { browse(); }));
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { create(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString CreateLedgerDialog::filePath() const
{
    return m_file->text();
}

QString CreateLedgerDialog::password() const
{
    return m_password->text();
}

QString CreateLedgerDialog::description() const
{
    return m_description->text();
}

void CreateLedgerDialog::prefill(const QString &file, const QString &description)
{
    m_file->setText(file);
    m_description->setText(description);
    m_ok->setEnabled(true);
}

void CreateLedgerDialog::browse()
{
    const QString chosen = ui::chooseFile(
        {this, true, QStringLiteral("Файлы базы данных (*.tor)"), QStringLiteral("tor")});
    if (!chosen.isEmpty())
        m_file->setText(paths::stripApplicationFolder(QDir::toNativeSeparators(chosen)));
}

void CreateLedgerDialog::create()
{
    if (m_creator)
        m_creator();
    accept();
}

} // namespace ledger
