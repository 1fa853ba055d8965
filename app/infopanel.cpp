#include "infopanel.h"

#include "widgets/linklabel.h"
#include "widgets/widgets.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QVBoxLayout>

namespace app {

namespace {

constexpr int kWidth = 185;
constexpr int kMargin = 12;

QLabel *plainLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAccessibleName(text);
    return label;
}

void underline(QLabel *label)
{
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
}

} // namespace

InfoPanel::InfoPanel(QWidget *parent)
    : QFrame(parent)
{
    ui::loadResources();
    setObjectName(QStringLiteral("PanelStatus"));
    setFixedWidth(kWidth);
    setFont(ui::tahoma(8));
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(4);
    addFigures(layout);
    layout->addSpacing(10);
    addRates(layout);
    layout->addSpacing(10);
    addShortcuts(layout);
    layout->addStretch();
}

void InfoPanel::addFigures(QVBoxLayout *layout)
{
    m_balance = plainLabel(this, "Label1", QStringLiteral("баланс: 0,00 руб."));
    m_balance->setAlignment(Qt::AlignHCenter);
    QFont bold = m_balance->font();
    bold.setBold(true);
    m_balance->setFont(bold);
    m_balance->setCursor(Qt::PointingHandCursor);

    auto *picture = new ui::LinkLabel(QString(), this, false);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(QIcon(QStringLiteral(":/pictures/panel.svg")).pixmap(96, 72));
    picture->setAlignment(Qt::AlignHCenter);
    picture->setAccessibleName(QStringLiteral("Журнал дохода и расхода"));
    connect(picture, &ui::LinkLabel::activated, this, &InfoPanel::journalRequested);

    QLabel *month = plainLabel(this, "Label2", QStringLiteral("За текущий месяц:"));
    underline(month);
    m_income = plainLabel(this, "Label11", QStringLiteral("Доход: 0,00 руб."));
    m_income->setCursor(Qt::PointingHandCursor);
    m_expense = plainLabel(this, "Label12", QStringLiteral("Расход: 0,00 руб."));
    m_expense->setCursor(Qt::PointingHandCursor);
    // A long amount goes on a second line rather than lose its ends.
    for (QLabel *amount : {m_balance, m_income, m_expense})
        amount->setWordWrap(true);

    layout->addWidget(m_balance);
    layout->addSpacing(4);
    layout->addWidget(picture);
    layout->addSpacing(8);
    layout->addWidget(month);
    layout->addWidget(m_income);
    layout->addWidget(m_expense);
}

void InfoPanel::addRates(QVBoxLayout *layout)
{
    auto *rates = new ui::LinkLabel(QStringLiteral("Курсы валют:"), this, false);
    rates->setObjectName(QStringLiteral("Label4"));
    underline(rates);
    ui::setHint(rates, QStringLiteral("Обновить информацию"));
    connect(rates, &ui::LinkLabel::activated, this, &InfoPanel::ratesRequested);
    m_dollar = plainLabel(this, "Label5", QStringLiteral("Доллар: 0,00 руб."));
    m_euro = plainLabel(this, "Label6", QStringLiteral("Евро: 0,00 руб."));
    m_pound = plainLabel(this, "Label13", QStringLiteral("Фунт: 0,00 руб."));
    m_date = plainLabel(this, "Label10", QStringLiteral("(данные не получены)"));
    for (QWidget *widget : std::initializer_list<QWidget *>{rates, m_dollar, m_euro, m_pound, m_date})
        layout->addWidget(widget);
}

void InfoPanel::addShortcuts(QVBoxLayout *layout)
{
    auto *addIncome = new ui::LinkLabel(QStringLiteral("Добавить доход"), this);
    addIncome->setObjectName(QStringLiteral("Link1"));
    ui::setHint(addIncome, QStringLiteral("Добавление информации о доходе"));
    connect(addIncome, &ui::LinkLabel::activated, this, &InfoPanel::incomeRequested);
    auto *addExpense = new ui::LinkLabel(QStringLiteral("Добавить расход"), this);
    addExpense->setObjectName(QStringLiteral("Link2"));
    ui::setHint(addExpense, QStringLiteral("Добавление информации о расходе"));
    connect(addExpense, &ui::LinkLabel::activated, this, &InfoPanel::expenseRequested);
    layout->addWidget(addIncome);
    layout->addWidget(addExpense);
}

void InfoPanel::setBalance(const QString &text, const QColor &colour)
{
    m_balance->setText(text);
    m_balance->setAccessibleName(text);
    QPalette p = m_balance->palette();
    p.setColor(QPalette::WindowText, colour);
    m_balance->setPalette(p);
    showHint(m_balance);
}

void InfoPanel::setMonth(const QString &incomeText, const QString &expenseText)
{
    m_income->setText(incomeText);
    m_income->setAccessibleName(incomeText);
    m_expense->setText(expenseText);
    m_expense->setAccessibleName(expenseText);
    showHint(m_income);
    showHint(m_expense);
}

void InfoPanel::setHints(const QString &balance, const QString &income, const QString &expense)
{
    m_hints[m_balance] = balance;
    m_hints[m_income] = income;
    m_hints[m_expense] = expense;
    for (QLabel *amount : {m_balance, m_income, m_expense})
        showHint(amount);
}

void InfoPanel::showHint(QLabel *amount)
{
    const auto hint = m_hints.constFind(amount);
    const QFontMetrics metrics(amount->font());
    if (metrics.horizontalAdvance(amount->text()) <= kWidth - 2 * kMargin) {
        if (hint != m_hints.constEnd())
            ui::setHint(amount, *hint);
        else
            amount->setToolTip(QString());
        return;
    }
    // Wrapped over two lines: the tooltip shows the whole text on one, above the hint's own.
    QString tip;
    QString status;
    if (hint != m_hints.constEnd()) {
        const qsizetype bar = hint->indexOf(QLatin1Char('|'));
        tip = bar < 0 ? *hint : hint->left(bar);
        status = bar < 0 ? *hint : hint->mid(bar + 1);
    }
    amount->setToolTip(tip.isEmpty() ? amount->text() : amount->text() + QLatin1Char('\n') + tip);
    amount->setStatusTip(status);
}

void InfoPanel::setRates(const QString &dollar, const QString &euro, const QString &pound, const QString &dateLine)
{
    m_dollar->setText(dollar);
    m_euro->setText(euro);
    m_pound->setText(pound);
    m_date->setText(dateLine);
    for (QLabel *label : {m_dollar, m_euro, m_pound, m_date})
        label->setAccessibleName(label->text());
}

void InfoPanel::paintEvent(QPaintEvent *event)
{
    // A white rounded card with a silver outline behind the texts.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(192, 192, 192));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(6.5, 6.5, -6.5, -6.5), 8, 8);
    QFrame::paintEvent(event);
}

} // namespace app
