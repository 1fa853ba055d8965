#include "creditcalculator.h"

#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/bookkeeping.h"
#include "ledger/error.h"
#include "ledger/money.h"
#include "ledger/regional.h"
#include "ledger/session.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tools {

namespace {

QFont tahoma(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// A field with its label; the label's text, without its colon, names the field for
// screen readers.
QLineEdit *field(QWidget *parent, QGridLayout *grid, int row, const char *name, const QString &label,
                 const QString &text, int maxLength, bool comma)
{
    auto *caption = new QLabel(label, parent);
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    ui::filterNumberKeys(edit, comma);
    caption->setBuddy(edit);
    QString accessible = label;
    if (accessible.endsWith(QLatin1Char(':')))
        accessible.chop(1);
    ui::nameForAccessibility(edit, accessible);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QWidget *header(QWidget *parent)
{
    QFrame *band = ui::whiteBand(parent, 92);
    band->setObjectName(QStringLiteral("Shape1"));

    // The picture is drawn 132 x 100; it is fitted to the band's height so that the line
    // under the band stays whole.
    auto *picture = new QLabel(band);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/credit.svg")).pixmap(QSize(132, 92)));
    picture->setFixedSize(132, 92);

    auto *title = new QLabel(QStringLiteral("Вычесление кредита"), band);
    title->setObjectName(QStringLiteral("Label1"));
    title->setFont(tahoma(15, true));
    auto *text = new QLabel(QStringLiteral("Подсчёт суммы кредита, расход по кредиту, суммы ежемесячных выплат"), band);
    text->setObjectName(QStringLiteral("Label2"));
    text->setFont(tahoma(11));
    text->setWordWrap(true);
    text->setFixedWidth(239);

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(0, 14, 0, 6);
    texts->setSpacing(6);
    texts->addWidget(title);
    texts->addWidget(text);
    texts->addStretch();
    auto *layout = new QHBoxLayout(band);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->setSpacing(8);
    layout->addWidget(picture);
    layout->addLayout(texts, 1);
    return band;
}

} // namespace

LoanTerms readLoanTerms(const QString &amount, const QString &months, const QString &yearlyRate,
                        const QString &commission)
{
    LoanTerms terms;
    terms.amount = regional::parseMoney(amount).toDouble();
    terms.months = regional::parseMoney(months).toDouble();
    terms.yearlyRate = regional::parseMoney(yearlyRate).toDouble();
    terms.commission = regional::parseMoney(commission).toDouble();
    return terms;
}

LoanFigures computeLoan(const LoanTerms &terms)
{
    const double s = terms.amount;
    const double n = terms.months;
    LoanFigures figures;
    // Left to right, as written: ((S x R) / 100 / 12) x N, then S added.
    figures.total = s + s * terms.yearlyRate / 100.0 / 12.0 * n;
    if (n == 0.0) {
        // What the floating-point unit says of x / 0: 0 / 0 is not a number at all.
        if (figures.total == 0.0)
            throw ledger::ArithmeticError(QStringLiteral("Invalid floating point operation"));
        throw ledger::ArithmeticError(QStringLiteral("Floating point division by zero"));
    }
    const double payment = figures.total / n;
    figures.monthly = payment + payment * terms.commission / 100.0;
    return figures;
}

QString figureText(double figure)
{
    return regional::amountText(ledger::Money::fromDouble(figure));
}

CreditCalculator::CreditCalculator(ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    setObjectName(QStringLiteral("TForm13"));
    setWindowTitle(QStringLiteral(" Кредитный калькулятор"));
    setFixedSize(400, 398);
    // The window has a fixed size; its texts get a fixed size too, so that they fit it.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    auto *inputs = new QGroupBox(QStringLiteral("Данные"), this);
    inputs->setObjectName(QStringLiteral("GroupBox1"));
    auto *inputLayout = new QVBoxLayout(inputs);
    auto *inputGrid = new QGridLayout;
    inputLayout->addLayout(inputGrid);
    inputGrid->setHorizontalSpacing(6);
    inputGrid->setVerticalSpacing(4);
    m_amount = field(inputs, inputGrid, 0, "Edit1", QStringLiteral("Сумма кредита:"), QStringLiteral("0"), 10, false);
    m_months = field(inputs, inputGrid, 1, "Edit2", QStringLiteral("Срок в месяцах:"), QStringLiteral("12"), 5, false);
    m_rate = field(inputs, inputGrid, 2, "Edit6", QStringLiteral("Годовой процент:"), QStringLiteral("0"), 5, true);
    m_commission = field(inputs, inputGrid, 3, "Edit3", QStringLiteral("Комиссия банка:"), QStringLiteral("0"), 4, true);
    for (QLineEdit *edit : {m_amount, m_months, m_rate, m_commission})
        edit->setFixedWidth(80);
    auto *percent = new QLabel(QStringLiteral("% от суммы ежемесячной оплаты"), inputs);
    percent->setObjectName(QStringLiteral("Label6"));
    percent->setWordWrap(true);
    inputGrid->addWidget(percent, 3, 2, 1, 2);
    auto *note = new QLabel(QStringLiteral("(коммисия может взиматься при возврате денег по кредиту)"), inputs);
    note->setObjectName(QStringLiteral("Label10"));
    note->setWordWrap(true);

    auto *computeButton = new QPushButton(QStringLiteral("Вычислить"), inputs);
    computeButton->setObjectName(QStringLiteral("Button3"));
    computeButton->setDefault(true);
    auto *closeButton = new QPushButton(QStringLiteral("Закрыть"), inputs);
    closeButton->setObjectName(QStringLiteral("Button1"));
    closeButton->setAutoDefault(false);
    inputGrid->addWidget(computeButton, 0, 3);
    inputGrid->addWidget(closeButton, 1, 3);
    inputGrid->setColumnStretch(2, 1);
    // Below the grid, where a wrapped text gets the height it needs.
    inputLayout->addWidget(note);

    auto *results = new QGroupBox(QStringLiteral("Результат"), this);
    results->setObjectName(QStringLiteral("GroupBox2"));
    auto *resultGrid = new QGridLayout(results);
    resultGrid->setContentsMargins(8, 8, 8, 8);
    resultGrid->setHorizontalSpacing(4);
    resultGrid->setVerticalSpacing(4);
    auto *totalLabel = new QLabel(QStringLiteral("Сумма кредита к возврату:"), results);
    m_total = new QLineEdit(QStringLiteral("0"), results);
    m_total->setObjectName(QStringLiteral("Edit4"));
    m_total->setReadOnly(true);
    totalLabel->setBuddy(m_total);
    ui::nameForAccessibility(m_total, QStringLiteral("Сумма кредита к возврату"));
    resultGrid->addWidget(totalLabel, 0, 0);
    resultGrid->addWidget(m_total, 0, 1);

    auto *paymentLabel = new QLabel(QStringLiteral("Ежемесячный платёж:"), results);
    m_payment = new QLineEdit(QStringLiteral("0"), results);
    m_payment->setObjectName(QStringLiteral("Edit5"));
    QFont bold = m_payment->font();
    bold.setBold(true);
    m_payment->setFont(bold);
    ui::filterNumberKeys(m_payment, true);
    paymentLabel->setBuddy(m_payment);
    ui::nameForAccessibility(m_payment, QStringLiteral("Ежемесячный платёж"));
    m_add = new QPushButton(QStringLiteral("Добавить в расход"), results);
    m_add->setObjectName(QStringLiteral("Button2"));
    m_add->setAutoDefault(false);
    m_add->setEnabled(false);
    resultGrid->addWidget(paymentLabel, 1, 0);
    resultGrid->addWidget(m_payment, 1, 1);
    resultGrid->addWidget(m_add, 1, 2);

    auto *nameLabel = new QLabel(QStringLiteral("Наименование кредита:"), results);
    m_loanName = new QComboBox(results);
    m_loanName->setObjectName(QStringLiteral("ComboBox1"));
    m_loanName->setEditable(true);
    // A name the user types is used for this booking only; it does not join the list.
    m_loanName->setInsertPolicy(QComboBox::NoInsert);
    m_loanName->addItems({QStringLiteral("кредит"), QStringLiteral("автокредит"), QStringLiteral("ипотека")});
    // The name is booked as typed: the list only suggests.
    ui::offerSuggestions(m_loanName, m_loanName->model());
    QFont underlined = m_loanName->font();
    underlined.setUnderline(true);
    m_loanName->setFont(underlined);
    nameLabel->setBuddy(m_loanName);
    ui::nameForAccessibility(m_loanName, QStringLiteral("Наименование кредита"));
    resultGrid->addWidget(nameLabel, 2, 0);
    resultGrid->addWidget(m_loanName, 2, 1);
    for (QWidget *w : {static_cast<QWidget *>(m_total), static_cast<QWidget *>(m_payment),
                       static_cast<QWidget *>(m_loanName)})
        w->setFixedWidth(80);
    resultGrid->setColumnStretch(3, 1);

    QFrame *line = ui::horizontalLine(this);
    line->setObjectName(QStringLiteral("Bevel1"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(0);
    layout->addWidget(header(this));
    layout->addWidget(line);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(6, 6, 6, 0);
    body->setSpacing(6);
    body->addWidget(inputs);
    body->addWidget(results);
    body->addStretch();
    layout->addLayout(body, 1);

    setTabOrder(m_amount, m_months);
    setTabOrder(m_months, m_rate);
    setTabOrder(m_rate, m_commission);
    setTabOrder(m_commission, computeButton);
    setTabOrder(computeButton, m_total);
    setTabOrder(m_total, m_payment);
    setTabOrder(m_payment, m_add);
    setTabOrder(m_add, m_loanName);
    setTabOrder(m_loanName, closeButton);

    connect(computeButton, &QPushButton::clicked, this, ui::guarded(this, [this] { compute(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_payment, &QLineEdit::textChanged, this, ui::guarded(this, [this] { followPayment(); }));
    connect(m_add, &QPushButton::clicked, this, ui::guarded(this, [this] { bookPayment(); }));
}

void CreditCalculator::compute()
{
    const LoanFigures figures = computeLoan(
        readLoanTerms(m_amount->text(), m_months->text(), m_rate->text(), m_commission->text()));
    // Each result is shown as soon as it is known: a monthly payment beyond the money range
    // leaves the sum to repay already shown.
    m_total->setText(figureText(figures.total));
    m_payment->setText(figureText(figures.monthly));
    followPayment();
}

void CreditCalculator::followPayment()
{
    m_add->setEnabled(regional::parseMoney(m_payment->text()) > ledger::Money());
}

void CreditCalculator::bookPayment()
{
    const ledger::Money amount = regional::parseMoney(m_payment->text());
    const QString loanName = m_loanName->currentText();
    // The journal row and its line are one transaction: a failure leaves neither.
    ledger::bookLoanPayment(m_session.connection(), loanName, amount);
    // Closed before the refresh: should the refresh fail, the payment is not offered for
    // booking a second time.
    accept();
    m_session.offerItemName(loanName);
    m_session.entriesChanged();
}

} // namespace tools
