#include "incomedialog.h"

#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/bookkeeping.h"
#include "ledger/regional.h"
#include "ledger/session.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace entries {

IncomeDialog::IncomeDialog(ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("Добавить доход"));
    setFixedSize(485, 232);

    QWidget *band = ui::headerBand(this, QStringLiteral("income"), QStringLiteral("Ввод данных о доходах"),
                                   QStringLiteral("Введите информацию о полученных доходах (зарплата, премия, "
                                                  "гонорар и т.д.)"),
                                   64);
    QFrame *line = ui::horizontalLine(this);

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
    const auto addRow = [&](int row, const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        QString name = caption;
        name.chop(1);
        ui::nameForAccessibility(field, name);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
    };
    addRow(0, QStringLiteral("Описание:"), m_type);
    addRow(1, QStringLiteral("Сумма:"), m_sum);
    addRow(2, QStringLiteral("Коментарии:"), m_comment);
    grid->setColumnStretch(1, 1);

    QPushButton *cancel = nullptr;
    QHBoxLayout *buttons = ui::okCancelRow(this, &m_ok, &cancel);
    m_ok->setEnabled(false);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(12, 8, 12, 10);
    body->addLayout(grid);
    body->addStretch();
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(line);
    layout->addLayout(body, 1);

    setTabOrder(m_type, m_sum);
    setTabOrder(m_sum, m_comment);
    setTabOrder(m_comment, m_ok);
    setTabOrder(m_ok, cancel);

    connect(m_type, &QComboBox::editTextChanged, this, [this] { updateOkButton(); });
    connect(m_sum, &QLineEdit::textChanged, this, [this] { updateOkButton(); });
    connect(m_ok, &QPushButton::clicked, this, ui::guarded(this, [this] { write(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
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

void IncomeDialog::updateOkButton()
{
    const QString sum = m_sum->text();
    m_ok->setEnabled(!m_type->currentText().isEmpty() && !sum.isEmpty() && sum != QLatin1String("0"));
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
