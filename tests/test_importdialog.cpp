// The import preview, reached through "Импорт чека…": what it offers, and that only what is
// ticked, as edited, is written, once.
#include "entrytesting.h"

#include "entries/importdialog.h"
#include "entries/importmodel.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QListWidget>
#include <QTreeView>

using namespace testing;
using entries::ImportModel;

namespace {

// One receipt of the usual export, fiscal document `fd`.
QString receipt(int fd, const QString &when, const QString &user, int operation, int total, const QString &items)
{
    return QStringLiteral(R"({"ticket": {"document": {"receipt": {"dateTime": %1, "user": "%2", "fiscalDriveNumber":
        "9999000011112222", "fiscalDocumentNumber": %3, "fiscalSign": %4, "operationType": %5, "totalSum": %6,
        "items": [%7]}}}})").arg(when, user).arg(fd).arg(fd + 5000).arg(operation).arg(total).arg(items);
}

// Three receipts and one that cannot be read. The second's items do not add up to its total;
// the third is a refund.
const QString kMilk = QStringLiteral(R"({"name": "Молоко", "price": 8990, "quantity": 1, "sum": 8990})");
const QByteArray kReceipts = QStringList{
    receipt(101, "\"2024-09-17T18:01\"", "ООО Ромашка", 1, 13880,
            kMilk + R"(, {"name": "Хлеб", "price": 4890, "quantity": 1, "sum": 4890})"),
    receipt(102, "1726653600", "ИП Сыров", 1, 16000, R"({"name": "Сыр", "price": 45000, "quantity": 0.35, "sum": 15750})"),
    receipt(103, "\"2024-09-19T10:00:00\"", "ООО Ромашка", 2, 8990, kMilk),
    receipt(104, "\"2024-09-20T10:00\"", "ООО Ромашка", 1, -100, R"({"name": "Минус", "price": -100, "quantity": 1, "sum": -100})"),
}.join(QLatin1Char(',')).prepend(QLatin1Char('[')).append(QLatin1Char(']')).toUtf8();

struct Preview
{
    explicit Preview(QWidget *dialog)
        : dialog(static_cast<entries::ImportDialog *>(dialog))
        , tree(find<QTreeView>(dialog, QStringLiteral("ImportTree")))
        , model(this->dialog->model())
        , write(find<QPushButton>(dialog, QStringLiteral("WriteButton")))
    {
    }
    QModelIndex top(int row, int column = ImportModel::Date) const { return model.index(row, column); }
    // Edits a cell through its editor, as a double-click and typing would, and commits it with
    // Enter.
    void edit(const QModelIndex &index, const QString &text) const
    {
        tree->setCurrentIndex(index);
        tree->edit(index);
        QWidget *editor = tree->indexWidget(index);
        QVERIFY(editor);
        auto *box = qobject_cast<QComboBox *>(editor);
        QLineEdit *field = box ? box->lineEdit() : qobject_cast<QLineEdit *>(editor);
        QVERIFY(field);
        field->selectAll();
        type(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!tree->indexWidget(index));
        QVERIFY(dialog->isVisible());
    }

    entries::ImportDialog *dialog;
    QTreeView *tree;
    ImportModel &model;
    QPushButton *write;
};

class ImportDialogTest : public QObject
{
    Q_OBJECT

private:
    // "Импорт чека…" on the receipts file, with `action` on its preview.
    bool importReceipts(LedgerProgram &program, const std::function<void(Preview &)> &action)
    {
        const QString file = program.workspace().path(QStringLiteral("чеки.json"));
        if (!writeFile(file, kReceipts))
            return false;
        ui::setFileHandler([file](const ui::FileRequest &) { return file; });
        auto ran = std::make_shared<bool>(false);
        whenShown(QStringLiteral("ImportDialog"), [action, ran](QWidget *dialog) {
            *ran = true;
            CloseWhenDone closer{static_cast<QDialog *>(dialog)};
            Preview preview(dialog);
            action(preview);
        });
        program.window().findChild<QAction *>(QStringLiteral("ImportReceipt"))->trigger();
        ui::setFileHandler({});
        return !missedDialog() && *ran;
    }

    static QStringList written(LedgerProgram &program)
    {
        return program.raw().rows("SELECT names, suma, dates, times FROM List ORDER BY id")
               + program.raw().rows("SELECT names, price, counts, doc FROM Rashod ORDER BY id");
    }

private slots:
    void init() { resetUserState(); }

    void showsWhatEachReceiptBecomes()
    {
        LedgerProgram program;
        QVERIFY(importReceipts(program, [&](Preview &p) {
            // Tick, title, amount, income type, the note's start; a receipt's lines under it.
            QStringList rows;
            for (int row = 0; row < p.model.rowCount(); ++row) {
                QStringList cells{p.top(row).data(Qt::CheckStateRole).toBool() ? "x" : "-"};
                for (int column : {ImportModel::Title, ImportModel::Amount, ImportModel::IncomeType, ImportModel::Note})
                    cells << p.top(row, column).data().toString().left(12);
                for (int line = 0; line < p.model.rowCount(p.top(row)); ++line)
                    cells << p.model.index(line, ImportModel::Title, p.top(row)).data().toString();
                rows << cells.join(QLatin1Char('|'));
            }
            QCOMPARE(rows, QStringList({"x|ООО Ромашка|138,80|||Молоко|Хлеб", "x|ИП Сыров|160,00||Позиции дают|Сыр",
                                        "-|ООО Ромашка|+89,90|Возврат поку|Чек возврата"}));
            auto *rejected = find<QListWidget>(p.dialog, QStringLiteral("Rejected"));
            QCOMPARE(rejected->count(), 1);
            QVERIFY2(rejected->item(0)->text().startsWith(QStringLiteral("чеки.json")), qPrintable(rejected->item(0)->text()));

            // A paper receipt's QR text: Enter in its box adds it and writes nothing.
            auto *qr = find<QLineEdit>(p.dialog, QStringLiteral("QrEdit"));
            qr->setText(QStringLiteral("t=20240921T1015&s=52.50&fn=9999000011114444&i=7&fp=77&n=1"));
            QTest::keyClick(qr, Qt::Key_Return);
            QCOMPARE(p.model.rowCount(), 4);
            QCOMPARE(p.top(3, ImportModel::Amount).data().toString(), QStringLiteral("52,50"));
            QVERIFY(p.dialog->isVisible());
        }));
        QCOMPARE(program.raw().value("SELECT count(*) FROM List").toInt(), 0);
    }

    void writesWhatIsTickedAsEdited_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("expected");
        const QString milk = QStringLiteral("Молоко|899000|10000|ФД 101");
        const QString bread = QStringLiteral("Хлеб|489000|10000|ФД 101");
        const QString cheese = QStringLiteral("Сыр|4500000|3500|ФД 102");
        const QString first = QStringLiteral("Расход|1388000|2024-09-17|18:01:00");
        const QString second = QStringLiteral("Расход|1600000|2024-09-18|") + QDateTime::fromSecsSinceEpoch(1726653600).time().toString(QStringLiteral("HH:mm:ss"));
        QTest::newRow("as offered, Enter") << QString() << QStringList{first, second, milk, bread, cheese};
        QTest::newRow("second unticked") << QStringLiteral("untick") << QStringList{first, milk, bread};
        QTest::newRow("line renamed")
            << QStringLiteral("rename") << QStringList{first, second, QStringLiteral("Молоко 3,2%|899000|10000|ФД 101"), bread, cheese};
        QTest::newRow("refund ticked, its type changed")
            << QStringLiteral("refund")
            << QStringList{first, second, QStringLiteral("Доход - Возврат молока|899000|2024-09-19|10:00:00"), milk, bread, cheese};
        QTest::newRow("cancel after edits") << QStringLiteral("cancel") << QStringList();
    }

    void writesWhatIsTickedAsEdited()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, expected);
        LedgerProgram program;
        QVERIFY(importReceipts(program, [&](Preview &p) {
            if (change == QLatin1String("untick"))
                QVERIFY(p.model.setData(p.top(1), Qt::Unchecked, Qt::CheckStateRole));
            if (change == QLatin1String("rename") || change == QLatin1String("cancel"))
                p.edit(p.model.index(0, ImportModel::Title, p.top(0)), QStringLiteral("Молоко 3,2%"));
            if (change == QLatin1String("refund") || change == QLatin1String("cancel")) {
                QVERIFY(p.model.setData(p.top(2), Qt::Checked, Qt::CheckStateRole));
                p.edit(p.top(2, ImportModel::IncomeType), QStringLiteral("Возврат молока"));
            }
            if (change == QLatin1String("cancel")) {
                find<QPushButton>(p.dialog, QStringLiteral("CancelButton"))->click();
                return;
            }
            QVERIFY(p.write->isDefault());
            QTest::keyClick(p.tree, Qt::Key_Return);
            QVERIFY(!p.dialog->isVisible());
        }));
        QCOMPARE(written(program), expected);
        if (change == QLatin1String("refund")) {
            QVERIFY(program.session().hasIncomeType(QStringLiteral("Возврат молока")));
            QCOMPARE(program.raw().value("SELECT count(*) FROM Dohod WHERE names = 'Возврат молока'").toInt(), 1);
        }
        // The journal shows what was written.
        WAIT_COMPARE(program.journalGrid()->model()->rowCount(), int(expected.size() - program.raw().rows("SELECT id FROM Rashod").size()));
    }

    void alreadyImportedRowsCannotBeTicked()
    {
        LedgerProgram program;
        QVERIFY(importReceipts(program, [](Preview &p) { QTest::keyClick(p.tree, Qt::Key_Return); }));
        const QStringList before = written(program);
        QCOMPARE(before.size(), 5);
        QVERIFY(importReceipts(program, [](Preview &p) {
            for (int row = 0; row < 2; ++row) {
                QVERIFY(!(p.model.flags(p.top(row)) & Qt::ItemIsUserCheckable));
                QVERIFY(!p.model.setData(p.top(row), Qt::Checked, Qt::CheckStateRole));
                QCOMPARE(p.top(row).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
            }
            QVERIFY(p.top(0, ImportModel::Note).data().toString().startsWith(QStringLiteral("уже в базе")));
            // The refund, not written the first time, may still be ticked.
            QVERIFY(p.model.flags(p.top(2)) & Qt::ItemIsUserCheckable);
            QVERIFY(!p.write->isEnabled());
            QTest::keyClick(p.tree, Qt::Key_Return);
        }));
        QCOMPARE(written(program), before);
    }
};

} // namespace

QTEST_MAIN(ImportDialogTest)
#include "test_importdialog.moc"
