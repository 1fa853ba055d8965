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

// Three receipts of the usual export and one that cannot be read. The second's items do not
// add up to its total; the third is a refund.
const QByteArray kReceipts = R"([
 {"_id": "1", "ticket": {"document": {"receipt": {"dateTime": "2024-09-17T18:01", "user": "ООО Ромашка",
  "fiscalDriveNumber": "9999000011112222", "fiscalDocumentNumber": 101, "fiscalSign": 5001, "operationType": 1,
  "totalSum": 13880, "items": [{"name": "Молоко", "price": 8990, "quantity": 1, "sum": 8990},
                               {"name": "Хлеб", "price": 4890, "quantity": 1, "sum": 4890}]}}}},
 {"_id": "2", "ticket": {"document": {"receipt": {"dateTime": 1726653600, "user": "ИП Сыров",
  "fiscalDriveNumber": "9999000011112222", "fiscalDocumentNumber": 102, "fiscalSign": 5002, "operationType": 1,
  "totalSum": 16000, "items": [{"name": "Сыр", "price": 45000, "quantity": 0.35, "sum": 15750}]}}}},
 {"_id": "3", "ticket": {"document": {"receipt": {"dateTime": "2024-09-19T10:00:00", "user": "ООО Ромашка",
  "fiscalDriveNumber": "9999000011112222", "fiscalDocumentNumber": 103, "fiscalSign": 5003, "operationType": 2,
  "totalSum": 8990, "items": [{"name": "Молоко", "price": 8990, "quantity": 1, "sum": 8990}]}}}},
 {"_id": "4", "ticket": {"document": {"receipt": {"dateTime": "2024-09-20T10:00", "user": "ООО Ромашка",
  "fiscalDriveNumber": "9999000011112222", "fiscalDocumentNumber": 104, "fiscalSign": 5004, "operationType": 1,
  "totalSum": -100, "items": [{"name": "Минус", "price": -100, "quantity": 1, "sum": -100}]}}}}
])";

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
            QCOMPARE(p.model.rowCount(), 3);
            const QList<Qt::CheckState> ticks = {Qt::Checked, Qt::Checked, Qt::Unchecked};
            for (int row = 0; row < 3; ++row)
                QCOMPARE(p.top(row).data(Qt::CheckStateRole).value<Qt::CheckState>(), ticks[row]);
            QCOMPARE(p.top(0, ImportModel::Title).data().toString(), QStringLiteral("ООО Ромашка"));
            QCOMPARE(p.top(0, ImportModel::Amount).data().toString(), QStringLiteral("138,80"));
            QCOMPARE(p.model.rowCount(p.top(0)), 2);
            QCOMPARE(p.model.index(1, ImportModel::Title, p.top(0)).data().toString(), QStringLiteral("Хлеб"));
            QVERIFY(p.top(0, ImportModel::Note).data().toString().isEmpty());
            QVERIFY2(p.top(1, ImportModel::Note).data().toString().contains(QStringLiteral("160,00")),
                     qPrintable(p.top(1, ImportModel::Note).data().toString()));
            QCOMPARE(p.top(2, ImportModel::IncomeType).data().toString(), QStringLiteral("Возврат покупки"));
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
