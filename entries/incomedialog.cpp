#include "incomedialog.h"

#include "widgets/dialogframe.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/bookkeeping.h"
#include "ledger/regional.h"
#include "ledger/session.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace entries {

namespace {
const ui::Header kHeader{QStringLiteral("income"), QStringLiteral("Ввод данных о доходах"),
                         QStringLiteral("Введите информацию о полученных доходах (зарплата, премия, гонорар и т.д.)"),
                         64};
} // namespace

IncomeDialog::IncomeDialog(ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    ui::fixDialog(this, QStringLiteral("TForm6"), QStringLiteral("Добавить доход"), QSize(485, 232));
    QVBoxLayout *body = ui::frameDialog(this, kHeader, {QMargins(), 0, QMargins(12, 8, 12, 10)}).body;
    body->addLayout(buildFields());
    body->addStretch();
    QPushButton *cancel = nullptr;
    body->addLayout(ui::okCancelRow(this, &m_ok, &cancel));
    m_ok->setEnabled(false);

    ui::setTabChain({m_type, m_sum, m_comment, m_ok, cancel});

    connect(m_type, &QComboBox::editTextChanged, this, [this] { m_ok->setEnabled(isComplete()); });
    connect(m_sum, &QLineEdit::textChanged, this, [this] { m_ok->setEnabled(isComplete()); });
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { write(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QGridLayout *IncomeDialog::buildFields()
{
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("ComboBox1"));
    m_type->setEditable(true);
    m_type->setInsertPolicy(QComboBox::NoInsert);
    m_type->setModel(&m_session.incomeTypes());
    // Suggestions show in a list under the box and never change what was typed.
    ui::offerSuggestions(m_type, &m_session.incomeTypes());
    m_sum = new QLineEdit(this);
    m_sum->setObjectName(QStringLiteral("Edit3"));
    ui::filterNumberKeys(m_sum);
    m_comment = new QLineEdit(this);
    m_comment->setObjectName(QStringLiteral("Edit1"));
    m_comment->setFixedWidth(369);
    m_type->setFixedWidth(260);
    m_sum->setFixedWidth(120);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    ui::addLabelledField(grid, 0, QStringLiteral("Описание:"), m_type, Qt::AlignLeft);
    ui::addLabelledField(grid, 1, QStringLiteral("Сумма:"), m_sum, Qt::AlignLeft);
    ui::addLabelledField(grid, 2, QStringLiteral("Коментарии:"), m_comment, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    return grid;
}

int IncomeDialog::exec()
{
    reset();
    return QDialog::exec();
}

void IncomeDialog::reset()
{
    m_sum->setText(QStringLiteral("0"));
    m_comment->clear();
    m_type->setCurrentIndex(-1);
    m_type->setEditText(QString());
    m_ok->setEnabled(false);
    m_type->setFocus();
}

bool IncomeDialog::isComplete() const
{
    const QString sum = m_sum->text();
    return !m_type->currentText().isEmpty() && !sum.isEmpty() && sum != QLatin1String("0");
}

void IncomeDialog::write()
{
    // The type exactly as typed: another spelling is another type.
    const QString type = m_type->currentText();
    const QString comment = m_comment->text();
    // Read and checked before anything is written: a sum that is not a number or a text too
    // long for its column writes neither the income nor its type.
    const ledger::Money sum = regional::parseMoney(m_sum->text());
    ledger::checkIncome(type, comment);
    const bool newType = !m_session.hasIncomeType(type);
    ledger::recordIncome(m_session.connection(), type, sum, comment, newType);
    if (newType)
        m_session.offerIncomeType(type);
    // Closed before the refresh: should the refresh fail, the income is not offered for
    // writing a second time.
    accept();
    m_session.entriesChanged();
}

} // namespace entries
