#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace ledger {
class Session;
}

namespace tools {

// What the user gives: amount borrowed, term in months, yearly rate and bank commission
// (both in per cent). Held as doubles, as the figures are worked out in double.
struct LoanTerms
{
    double amount = 0.0;
    double months = 0.0;
    double yearlyRate = 0.0;
    double commission = 0.0;
};

// The sum to repay (without the commission) and the monthly payment (with it).
struct LoanFigures
{
    double total = 0.0;
    double monthly = 0.0;
};

// Reads the four texts as money, in this order, so that the first bad one is the one
// reported ("'<text>' is not a valid floating point value").
LoanTerms readLoanTerms(const QString &amount, const QString &months, const QString &yearlyRate,
                        const QString &commission);

// Flat interest on the amount borrowed: total = S + S x R / 100 / 12 x N, left to right;
// monthly = P + P x C / 100 with P = total / N. A term of 0 raises ArithmeticError
// ("Floating point division by zero", or "Invalid floating point operation" for 0 / 0).
LoanFigures computeLoan(const LoanTerms &terms);

// A figure as the calculator shows it: to money (ties to even), then "0.00". A figure
// beyond the money range raises "Invalid floating point operation".
QString figureText(double figure);

// The credit calculator (TForm13): made once, only hidden between uses, so that every
// field, the loan name and the add button stay as the user left them.
class CreditCalculator : public QDialog
{
    Q_OBJECT

public:
    explicit CreditCalculator(ledger::Session &session, QWidget *parent = nullptr);

private:
    // The four fields the terms are read from.
    struct TermFields
    {
        QLineEdit *amount = nullptr;
        QLineEdit *months = nullptr;
        QLineEdit *rate = nullptr;
        QLineEdit *commission = nullptr;

        LoanTerms read() const;
    };

    QGroupBox *buildInputs(QPushButton **computeButton, QPushButton **closeButton);
    QGroupBox *buildResults();
    void compute();
    void followPayment();
    void bookPayment();

    ledger::Session &m_session;
    TermFields m_terms;
    QLineEdit *m_total = nullptr;
    QLineEdit *m_payment = nullptr;
    QPushButton *m_add = nullptr;
    QComboBox *m_loanName = nullptr;
};

} // namespace tools
