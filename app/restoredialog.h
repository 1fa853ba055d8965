#pragma once

#include "ledger/backup.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

namespace app {

// "Восстановить из копии…": the copies of the open ledger, newest first, with their date,
// journal rows and size. The chosen copy is the dialog's result.
class RestoreDialog : public QDialog
{
    Q_OBJECT

public:
    RestoreDialog(const QString &ledgerPath, const QList<ledger::backup::Copy> &copies, QWidget *parent = nullptr);

    // The copy picked when the dialog was accepted.
    const ledger::backup::Copy *chosen() const;

    // How a copy's moment and size are shown in the list and in the question.
    static QString takenText(const ledger::backup::Copy &copy);
    static QString sizeText(qint64 bytes);

private:
    void updateButton();

    QList<ledger::backup::Copy> m_copies;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_restore = nullptr;
};

} // namespace app
