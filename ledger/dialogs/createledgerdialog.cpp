#include "createledgerdialog.h"

#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/dialogs/ledgerfields.h"
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

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    const LedgerFields fields = makeLedgerFields(frame, false); // the dialog shows no tooltips
    frame->setLayout(fields.grid);
    m_file = fields.file;
    m_password = fields.password;
    m_description = fields.description;
    QPushButton *browseButton = fields.browse;

    QPushButton *cancel = nullptr;
    QHBoxLayout *buttons = ui::okCancelRow(this, &m_ok, &cancel);
    m_ok->setEnabled(false);

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
