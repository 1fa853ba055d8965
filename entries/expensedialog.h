#pragma once

#include "ledger/bookkeeping.h"

#include <QDialog>
#include <QVector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ledger {
class Session;
}

namespace entries {

// The expense dialog (TForm5): one purchase batch of any number of lines, written on OK as a
// journal row "Расход" with the batch total and one expense line per line. The same dialog
// replaces an existing batch (its caption then reads "Изменить запись расхода"). Made once
// and opened again for every entry; every opening starts afresh, while a dialog shown again
// after being minimized keeps what was typed.
class ExpenseDialog : public QDialog
{
    Q_OBJECT

public:
    ExpenseDialog(ledger::Session &session, QWidget *parent = nullptr);

    // Caption "Добавить расход", shown modally.
    void showForAdding();
    // Caption "Изменить запись расхода", the batch of journal row `journalId` loaded, shown
    // modally. A batch that cannot be read raises before the dialog shows.
    void showForEditing(qint64 journalId);

    bool isEditing() const { return m_mode == Mode::Editing; }
    // The journal row of the batch being edited; 0 while adding.
    qint64 editedId() const { return m_editedId; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A line as listed, with the values it was read as when it was added or loaded.
    struct Line
    {
        ledger::ExpenseLine values;
        QString priceText;
        QString countsText;
        QString sumText;
        QString dateText;
    };

    // The fields a line is typed into (GroupBox1).
    struct LineFields
    {
        QComboBox *item = nullptr;
        QLineEdit *price = nullptr;
        QLineEdit *counts = nullptr;
        QLineEdit *document = nullptr;
        QLineEdit *date = nullptr;

        // Ready for the next line: no item, price "0", count "1"; the document and its date stay.
        void clearForNext();
    };

    QGroupBox *buildLineFields();
    QTreeWidget *buildList();
    void reset();
    void updateAddButton();
    void addLine();
    void appendLine(const Line &line);
    void removeSelectedLine();
    void renumber();
    void write();
    QVector<Line> readBatch(qint64 journalId) const;

    enum class Mode { Adding, Editing };

    ledger::Session &m_session;
    Mode m_mode = Mode::Adding;
    qint64 m_editedId = 0;
    QVector<Line> m_loaded;
    QVector<Line> m_lines;

    LineFields m_fields;
    QPushButton *m_add = nullptr;
    QTreeWidget *m_list = nullptr;
};

} // namespace entries
