#pragma once

#include <QDialog>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace ledger {
class Session;
}

namespace entries {

// The income dialog (TForm6): an income type, a sum and a comment, written on OK as one
// journal row "Доход - <type>"; a type not offered yet is added to the income types. Made
// once and opened again for every entry; every opening starts afresh, while a dialog shown
// again after being minimized keeps what was typed.
class IncomeDialog : public QDialog
{
    Q_OBJECT

public:
    IncomeDialog(ledger::Session &session, QWidget *parent = nullptr);

public slots:
    // Opens the dialog for a new income.
    int exec() override;

private:
    QGridLayout *buildFields();
    void reset();
    void write();
    // A type and a sum other than "0" are given: OK may write them.
    bool isComplete() const;

    QComboBox *m_type = nullptr;
    QLineEdit *m_sum = nullptr;
    QLineEdit *m_comment = nullptr;
    QPushButton *m_ok = nullptr;
    // Where the income is written, and the income types it offers.
    ledger::Session &m_session;
};

} // namespace entries
