#include "createledgerdialog.h"

#include "widgets/dialogframe.h"
#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "dialogs/ledgerfields.h"
#include "ledger/paths.h"

#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dialogs {

namespace {
const ui::Header kHeader{QStringLiteral("create-db"), QStringLiteral("Создание базы данных"),
                         QStringLiteral("Создание новой базы данных, введите расположение и имя файла, дополнительное "
                                        "описание и пароль на открытие (не обязательно)"),
                         91};
} // namespace

CreateLedgerDialog::CreateLedgerDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    ui::fixDialog(this, QStringLiteral("TForm10"), QStringLiteral("Создание базы данных"), QSize(422, 256));
    QVBoxLayout *body = ui::frameDialog(this, kHeader, {QMargins(0, 0, 0, 8), 6, QMargins(8, 0, 8, 0)}).body;

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    const LedgerFields fields = makeLedgerFields(frame, false); // the dialog shows no tooltips
    frame->setLayout(fields.grid);
    m_file = fields.file;
    m_password = fields.password;
    m_description = fields.description;
    QPushButton *browseButton = fields.browse;
    body->addWidget(frame);
    body->addStretch();
    QPushButton *cancel = nullptr;
    body->addLayout(ui::okCancelRow(this, &m_ok, &cancel));
    m_ok->setEnabled(false);

    ui::setTabChain({m_file, browseButton, m_password, m_description, m_ok, cancel});

    connect(m_file, &QLineEdit::textChanged, this, [this](const QString &text) { m_ok->setEnabled(!text.isEmpty()); });
    connect(browseButton, &QPushButton::clicked, this, ui::guarded(this, [this] { browse(); }));
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { create(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CreateLedgerDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Each time in the file field, not on the button clicked the time before: a typed path
    // goes where it belongs and Enter does not press "...".
    m_file->setFocus(Qt::OtherFocusReason);
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
        m_file->setText(ledger::paths::stripApplicationFolder(QDir::toNativeSeparators(chosen)));
}

void CreateLedgerDialog::create()
{
    if (m_creator)
        m_creator();
    accept();
}

} // namespace dialogs
