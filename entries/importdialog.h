#pragma once

#include "imports/importplan.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace ledger {
class Session;
}

namespace entries {

class ImportModel;

// The import preview: what each receipt or statement operation becomes, ticked or not,
// with what does not add up, what the ledger already holds and the rows that could not be
// read. Nothing is written before "Записать", which writes every ticked row in one
// transaction; Cancel writes nothing.
class ImportDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Kind { Receipts, Statement };

    ImportDialog(ledger::Session &session, Kind kind, QWidget *parent = nullptr);
    ~ImportDialog() override;

    // The whole command: the file dialog, the reading and the preview. Receipts open the
    // preview even when no file was picked, for the QR text of a paper receipt.
    void run();
    // Reads files into the preview; a file that cannot be read is told in the standard error
    // box, and the others still come in.
    void addFiles(const QStringList &paths);
    // The QR text of a paper receipt; an unreadable one is told in the error box.
    void addQr(const QString &text);

    ImportModel &model() { return *m_model; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildQrRow(QLayout *body);
    void pickFiles();
    imports::ReadResult readFile(const QString &path);
    // Marks the candidates against the ledger and adds them and the rejected rows.
    void addResult(imports::ReadResult result);
    void write();
    void updateSummary();
    void fitColumns();
    void showDetails(const QModelIndex &current);

    ledger::Session &m_session;
    const Kind m_kind;
    ImportModel *m_model = nullptr;
    QTreeView *m_tree = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_details = nullptr;
    QLabel *m_rejectedCaption = nullptr;
    QListWidget *m_rejected = nullptr;
    QLineEdit *m_qr = nullptr;
    QPushButton *m_write = nullptr;
};

} // namespace entries
