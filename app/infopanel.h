#pragma once

#include <QFrame>
#include <QHash>

class QLabel;
class QVBoxLayout;

namespace ui {
class LinkLabel;
}

namespace app {

// The information panel along the main window's right edge: the balance, this month's
// income and expenses, the day's rates and three shortcuts. It only shows what the main
// window puts into it and tells it when a shortcut is used.
class InfoPanel : public QFrame
{
    Q_OBJECT

public:
    explicit InfoPanel(QWidget *parent = nullptr);

    void setBalance(const QString &text, const QColor &colour);
    void setMonth(const QString &incomeText, const QString &expenseText);
    // Tooltips of the balance and the two month figures ("$…\n€…").
    void setHints(const QString &balance, const QString &income, const QString &expense);
    void setRates(const QString &dollar, const QString &euro, const QString &pound, const QString &dateLine);

signals:
    void journalRequested();
    void ratesRequested();
    void incomeRequested();
    void expenseRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The balance, the journal's picture and this month's income and expenses.
    void addFigures(QVBoxLayout *layout);
    // The rates' link, which fetches them anew, and the day's rates.
    void addRates(QVBoxLayout *layout);
    // "Добавить доход" and "Добавить расход".
    void addShortcuts(QVBoxLayout *layout);
    // The hint of an amount label, with the whole amount added when it does not fit one line.
    void showHint(QLabel *amount);

    QHash<QLabel *, QString> m_hints;
    QLabel *m_balance;
    QLabel *m_income;
    QLabel *m_expense;
    QLabel *m_dollar;
    QLabel *m_euro;
    QLabel *m_pound;
    QLabel *m_date;
};

} // namespace app
