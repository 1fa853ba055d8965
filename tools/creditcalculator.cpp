#include "creditcalculator.h"

#include "widgets/dialogframe.h"
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

// A field of the loan's terms, with its caption in a row of `grid`.
QLineEdit *termField(QGridLayout *grid, int row, const char *name, const QString &caption, const QString &text,
                     int maxLength, bool comma)
{
    auto *edit = new QLineEdit(text, grid->parentWidget());
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(maxLength);
    ui::filterNumberKeys(edit, comma);
    ui::addLabelledField(grid, row, caption, edit);
    return edit;
}

// The loan's name, as it is booked: one of three offered, or any the user types.
QComboBox *loanNameBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("ComboBox1"));
    box->setEditable(true);
    // A name the user types is used for this booking only; it does not join the list.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({QStringLiteral("кредит"), QStringLiteral("автокредит"), QStringLiteral("ипотека")});
    // The name is booked as typed: the list only suggests.
    ui::offerSuggestions(box, box->model());
    QFont underlined = box->font();
    underlined.setUnderline(true);
    box->setFont(underlined);
    return box;
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
    ui::fixDialog(this, QStringLiteral("TForm13"), QStringLiteral(" Кредитный калькулятор"), QSize(400, 398));
    ui::keepSmallText(this);

    const ui::DialogFrame frame =
        ui::frameDialog(this, header(this), {QMargins(0, 0, 0, 8), 0, QMargins(6, 6, 6, 0), 6});
    frame.line->setObjectName(QStringLiteral("Bevel1"));
    QPushButton *computeButton = nullptr;
    QPushButton *closeButton = nullptr;
    frame.body->addWidget(buildInputs(&computeButton, &closeButton));
    frame.body->addWidget(buildResults());
    frame.body->addStretch();

    ui::setTabChain({m_terms.amount, m_terms.months, m_terms.rate, m_terms.commission, computeButton, m_total,
                     m_payment, m_add, m_loanName, closeButton});

    connect(computeButton, &QPushButton::clicked, this, ui::guarded(this, [this] { compute(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_payment, &QLineEdit::textChanged, this, ui::guarded(this, [this] { followPayment(); }));
    connect(m_add, &QPushButton::clicked, this, ui::guarded(this, [this] { bookPayment(); }));
}

QGroupBox *CreditCalculator::buildInputs(QPushButton **computeButton, QPushButton **closeButton)
{
    auto *inputs = new QGroupBox(QStringLiteral("Данные"), this);
    inputs->setObjectName(QStringLiteral("GroupBox1"));
    auto *inputLayout = new QVBoxLayout(inputs);
    auto *grid = new QGridLayout;
    inputLayout->addLayout(grid);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    m_terms.amount = termField(grid, 0, "Edit1", QStringLiteral("Сумма кредита:"), QStringLiteral("0"), 10, false);
    m_terms.months = termField(grid, 1, "Edit2", QStringLiteral("Срок в месяцах:"), QStringLiteral("12"), 5, false);
    m_terms.rate = termField(grid, 2, "Edit6", QStringLiteral("Годовой процент:"), QStringLiteral("0"), 5, true);
    m_terms.commission = termField(grid, 3, "Edit3", QStringLiteral("Комиссия банка:"), QStringLiteral("0"), 4, true);
    for (QLineEdit *edit : {m_terms.amount, m_terms.months, m_terms.rate, m_terms.commission})
        edit->setFixedWidth(80);
    auto *percent = new QLabel(QStringLiteral("% от суммы ежемесячной оплаты"), inputs);
    percent->setObjectName(QStringLiteral("Label6"));
    percent->setWordWrap(true);
    grid->addWidget(percent, 3, 2, 1, 2);
    auto *note = new QLabel(QStringLiteral("(коммисия может взиматься при возврате денег по кредиту)"), inputs);
    note->setObjectName(QStringLiteral("Label10"));
    note->setWordWrap(true);

    *computeButton = new QPushButton(QStringLiteral("Вычислить"), inputs);
    (*computeButton)->setObjectName(QStringLiteral("Button3"));
    (*computeButton)->setDefault(true);
    *closeButton = new QPushButton(QStringLiteral("Закрыть"), inputs);
    (*closeButton)->setObjectName(QStringLiteral("Button1"));
    (*closeButton)->setAutoDefault(false);
    grid->addWidget(*computeButton, 0, 3);
    grid->addWidget(*closeButton, 1, 3);
    grid->setColumnStretch(2, 1);
    // Below the grid, where a wrapped text gets the height it needs.
    inputLayout->addWidget(note);
    return inputs;
}

QGroupBox *CreditCalculator::buildResults()
{
    auto *results = new QGroupBox(QStringLiteral("Результат"), this);
    results->setObjectName(QStringLiteral("GroupBox2"));
    auto *grid = new QGridLayout(results);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    m_total = new QLineEdit(QStringLiteral("0"), results);
    m_total->setObjectName(QStringLiteral("Edit4"));
    m_total->setReadOnly(true);
    ui::addLabelledField(grid, 0, QStringLiteral("Сумма кредита к возврату:"), m_total);

    m_payment = new QLineEdit(QStringLiteral("0"), results);
    m_payment->setObjectName(QStringLiteral("Edit5"));
    QFont bold = m_payment->font();
    bold.setBold(true);
    m_payment->setFont(bold);
    ui::filterNumberKeys(m_payment, true);
    m_add = new QPushButton(QStringLiteral("Добавить в расход"), results);
    m_add->setObjectName(QStringLiteral("Button2"));
    m_add->setAutoDefault(false);
    m_add->setEnabled(false);
    ui::addLabelledField(grid, 1, QStringLiteral("Ежемесячный платёж:"), m_payment);
    grid->addWidget(m_add, 1, 2);

    m_loanName = loanNameBox(results);
    ui::addLabelledField(grid, 2, QStringLiteral("Наименование кредита:"), m_loanName);
    for (QWidget *w : {static_cast<QWidget *>(m_total), static_cast<QWidget *>(m_payment),
                       static_cast<QWidget *>(m_loanName)})
        w->setFixedWidth(80);
    grid->setColumnStretch(3, 1);
    return results;
}

LoanTerms CreditCalculator::TermFields::read() const
{
    return readLoanTerms(amount->text(), months->text(), rate->text(), commission->text());
}

void CreditCalculator::compute()
{
    const LoanFigures figures = computeLoan(m_terms.read());
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
