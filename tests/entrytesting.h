#pragma once

// What the tests of the expense and income dialogs, the journal and the report share: a
// program with a ledger of its own, and the dialogs' boxes found by their names.
#include "support/guisupport.h"
#include "support/testsupport.h"

#include "widgets/childwindow.h"
#include "app/mainwindow.h"
#include "ledger/session.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace testing {

// The program started on a ledger in a temporary folder, named in the settings so that the
// start-up opens it; its journal window is open and started.
class LedgerProgram
{
public:
    // `prepare` writes into the new ledger before the program opens it.
    explicit LedgerProgram(const std::function<void(const ledger::Connection &)> &prepare = {})
    {
        m_path = m_workspace.newLedger(QStringLiteral("дом.tor"));
        if (prepare)
            prepare(*ledger::Connection::open(m_path));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tovrak"),
                           QStringLiteral("velTor"));
        settings.setValue(QStringLiteral("db"), m_path);
        settings.sync();
        m_program = std::make_unique<Program>();
        QVERIFY(window().session().isOpen());
        WAIT_VERIFY(journalWindow() && journalWindow()->isStarted());
    }

    app::MainWindow &window() { return m_program->window(); }
    ledger::Session &session() { return window().session(); }
    const QString &path() const { return m_path; }
    const Workspace &workspace() const { return m_workspace; }
    RawFile raw() const { return RawFile(m_path); }

    QMdiSubWindow *child(const QString &objectName)
    {
        for (QMdiSubWindow *window : window().mdiArea()->subWindowList()) {
            if (window->objectName() == objectName && window->isVisible())
                return window;
        }
        return nullptr;
    }
    ui::ChildWindow *journalWindow() { return static_cast<ui::ChildWindow *>(child(QStringLiteral("TForm2"))); }
    QTableView *journalGrid() { return find<QTableView>(journalWindow(), QStringLiteral("Tov")); }
    ui::ChildWindow *openReport()
    {
        find<QToolButton>(&window(), QStringLiteral("ToolButton18"))->click();
        auto *report = static_cast<ui::ChildWindow *>(child(QStringLiteral("TForm12")));
        if (report && !waitUntil([report] { return report->isStarted(); }))
            return nullptr;
        return report;
    }

    QString panelText(const char *label) { return find<QLabel>(&window(), QLatin1String(label))->text(); }

private:
    Workspace m_workspace;
    QString m_path;
    std::unique_ptr<Program> m_program;
};

// The expense dialog's boxes.
struct ExpenseForm
{
    explicit ExpenseForm(QWidget *dialog)
        : dialog(static_cast<QDialog *>(dialog))
        , item(find<QComboBox>(dialog, QStringLiteral("ComboBox1")))
        , price(find<QLineEdit>(dialog, QStringLiteral("Edit3")))
        , counts(find<QLineEdit>(dialog, QStringLiteral("Edit4")))
        , document(find<QLineEdit>(dialog, QStringLiteral("Edit1")))
        , date(find<QLineEdit>(dialog, QStringLiteral("Edit2")))
        , add(find<QPushButton>(dialog, QStringLiteral("Button1")))
        , list(find<QTreeWidget>(dialog, QStringLiteral("pokupki")))
        , ok(find<QPushButton>(dialog, QStringLiteral("Button3")))
        , cancel(find<QPushButton>(dialog, QStringLiteral("Button2")))
    {
    }

    static void retype(QWidget *box, const QString &text)
    {
        if (auto *edit = qobject_cast<QLineEdit *>(box))
            edit->clear();
        else
            static_cast<QComboBox *>(box)->clearEditText();
        type(box, text);
    }

    // Types one line into the boxes, as a user would; an empty document or date keeps
    // what the box holds.
    void enter(const QString &name, const QString &priceText, const QString &countsText,
               const QString &documentText = QString(), const QString &dateText = QString())
    {
        retype(item, name);
        retype(price, priceText);
        retype(counts, countsText);
        if (!documentText.isEmpty())
            retype(document, documentText);
        if (!dateText.isEmpty())
            retype(date, dateText);
    }
    // Types a line and adds it with Enter in the quantity box.
    void addLine(const QString &name, const QString &priceText, const QString &countsText,
                 const QString &documentText = QString(), const QString &dateText = QString())
    {
        enter(name, priceText, countsText, documentText, dateText);
        QTest::keyClick(counts, Qt::Key_Return);
    }

    // The texts of every listed line, the hidden columns included, joined by "|".
    QStringList lines() const
    {
        QStringList result;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList texts;
            for (int c = 0; c < list->columnCount(); ++c)
                texts << list->topLevelItem(i)->text(c);
            result << texts.join('|');
        }
        return result;
    }

    QDialog *dialog;
    QComboBox *item;
    QLineEdit *price;
    QLineEdit *counts;
    QLineEdit *document;
    QLineEdit *date;
    QPushButton *add;
    QTreeWidget *list;
    QPushButton *ok;
    QPushButton *cancel;
};

// Closes a dialog left open by a failed check, so that the test goes on instead of hanging.
struct CloseWhenDone
{
    QDialog *dialog;
    ~CloseWhenDone()
    {
        if (dialog->isVisible())
            dialog->reject();
    }
};

// Runs `action` on the expense dialog while it is shown by `open` (a click that shows it).
// False when the dialog did not show. The program shows it from the event that asks for it,
// so once `open` returns it has come and gone.
inline bool driveExpenseDialog(const std::function<void()> &open, const std::function<void(ExpenseForm &)> &action)
{
    auto ran = std::make_shared<bool>(false);
    whenShown(QStringLiteral("TForm5"), [action, ran](QWidget *dialog) {
        *ran = true;
        ExpenseForm form(dialog);
        CloseWhenDone closer{form.dialog};
        action(form);
    });
    open();
    return !missedDialog() && *ran;
}

// A double-click on a cell, as the grid gets it from the window system: a click, then the
// double-click event.
inline void doubleClick(QAbstractItemView *view, const QModelIndex &index)
{
    const QPoint pos = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, pos);
    QMouseEvent event(QEvent::MouseButtonDblClick, pos, view->viewport()->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &event);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, pos);
}

inline QString shortDateOf(const QString &iso)
{
    return QDate::fromString(iso, Qt::ISODate).toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace testing
