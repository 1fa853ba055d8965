#include "expensedialog.h"

#include "widgets/dialogframe.h"
#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/dataset.h"
#include "ledger/error.h"
#include "ledger/regional.h"
#include "ledger/session.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace entries {

namespace {

const QString kAddCaption = QStringLiteral("Добавить расход");
const QString kEditCaption = QStringLiteral("Изменить запись расхода");
const ui::Header kHeader{
    QStringLiteral("expense"), QStringLiteral("Ввод данных о расходах"),
    QStringLiteral("Введите информацию о сделанных расходах - приобритение, товара, полученных услуг. Так же Вы "
                   "може указать номера докуметов оплаты (чек, квитанции, билет и дату оплаты)"),
    72};

enum ListColumn { Number, Item, Sum, Price, Counts, Document, Date, ColumnCount };

// The expense-line dataset filtered to one batch (opened by the caller) for as long as the
// scope lasts; afterwards it is unfiltered again and as open as it was before.
class BatchFilter
{
public:
    BatchFilter(ledger::Dataset &lines, qint64 journalId)
        : m_lines(lines)
        , m_wasOpen(lines.isOpen())
    {
        m_lines.close();
        m_lines.setFilter(QStringLiteral("kod"), journalId);
    }
    ~BatchFilter()
    {
        m_lines.close();
        m_lines.clearFilter();
        if (m_wasOpen) {
            try {
                m_lines.open();
            } catch (const ledger::Error &) {
                // Reading the batch has already failed or succeeded; the next reader of the
                // dataset reports what is wrong with it.
            }
        }
    }
    BatchFilter(const BatchFilter &) = delete;
    BatchFilter &operator=(const BatchFilter &) = delete;

private:
    ledger::Dataset &m_lines;
    bool m_wasOpen;
};

} // namespace

ExpenseDialog::ExpenseDialog(ledger::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_session(session)
{
    ui::fixDialog(this, QStringLiteral("TForm5"), kAddCaption, QSize(499, 414));
    QVBoxLayout *body = ui::frameDialog(this, kHeader, {QMargins(), 0, QMargins(10, 4, 10, 10), 6}).body;
    body->addWidget(buildLineFields());
    body->addWidget(buildList(), 1);
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    body->addLayout(ui::okCancelRow(this, &ok, &cancel));
    // Enter adds a line: the add button stays the dialog's default.
    ok->setDefault(false);
    m_add->setDefault(true);

    ui::setTabChain({m_fields.item, m_fields.price, m_fields.counts, m_fields.document, m_fields.date, m_add, m_list,
                     ok, cancel});

    connect(m_fields.item, &QComboBox::editTextChanged, this, [this] { updateAddButton(); });
    connect(m_fields.price, &QLineEdit::textChanged, this, [this] { updateAddButton(); });
    connect(m_fields.counts, &QLineEdit::textChanged, this, [this] { updateAddButton(); });
    connect(m_add, &QPushButton::clicked, this, ui::guarded(this, [this] { addLine(); }));
    connect(ok, &QPushButton::clicked, this, ui::guarded(this, [this] { write(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QGroupBox *ExpenseDialog::buildLineFields()
{
    auto *group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    m_fields.item = new QComboBox(group);
    m_fields.item->setObjectName(QStringLiteral("ComboBox1"));
    m_fields.item->setEditable(true);
    m_fields.item->setInsertPolicy(QComboBox::NoInsert);
    m_fields.item->setModel(&m_session.itemNames());
    m_fields.item->setMaxVisibleItems(16);
    // Suggestions show in a list under the box and never change what was typed.
    ui::offerSuggestions(m_fields.item, &m_session.itemNames());
    m_fields.price = new QLineEdit(group);
    m_fields.price->setObjectName(QStringLiteral("Edit3"));
    m_fields.counts = new QLineEdit(group);
    m_fields.counts->setObjectName(QStringLiteral("Edit4"));
    m_fields.document = new QLineEdit(group);
    m_fields.document->setObjectName(QStringLiteral("Edit1"));
    m_fields.date = new QLineEdit(group);
    m_fields.date->setObjectName(QStringLiteral("Edit2"));
    m_fields.date->setMaxLength(10);
    ui::filterNumberKeys(m_fields.price);
    ui::filterNumberKeys(m_fields.counts);
    m_add = new QPushButton(QStringLiteral("добавить в расходы"), group);
    m_add->setObjectName(QStringLiteral("Button1"));
    m_add->setDefault(true);
    m_add->setEnabled(false);

    // Each caption stands over its field.
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    grid->addWidget(ui::captionFor(m_fields.item, QStringLiteral("Товар/услуга:")), 0, 0, 1, 2);
    grid->addWidget(ui::captionFor(m_fields.price, QStringLiteral("Цена:")), 0, 2);
    grid->addWidget(ui::captionFor(m_fields.counts, QStringLiteral("кол.:")), 0, 3);
    grid->addWidget(m_fields.item, 1, 0, 1, 2);
    grid->addWidget(m_fields.price, 1, 2);
    grid->addWidget(m_fields.counts, 1, 3);
    grid->addItem(new QSpacerItem(0, 6), 2, 0);
    grid->addWidget(ui::captionFor(m_fields.document, QStringLiteral("Документ №:")), 3, 0);
    grid->addWidget(ui::captionFor(m_fields.date, QStringLiteral("дата:")), 3, 1);
    grid->addWidget(m_fields.document, 4, 0);
    grid->addWidget(m_fields.date, 4, 1);
    grid->addWidget(m_add, 4, 2, 1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 2);
    grid->setColumnStretch(3, 1);
    return group;
}

QTreeWidget *ExpenseDialog::buildList()
{
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("pokupki"));
    m_list->setColumnCount(ColumnCount);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionsMovable(false);
    ui::nameForAccessibility(m_list, QStringLiteral("Расходы"));
    const struct
    {
        const char *caption;
        int width;
        Qt::Alignment alignment;
    } columns[ColumnCount] = {
        {" №", 30, Qt::AlignLeft},
        {"Товар или услуга", 130, Qt::AlignLeft},
        {"Сумма", 110, Qt::AlignRight},
        {"Цена", 0, Qt::AlignRight},
        {"Кол-во", 0, Qt::AlignHCenter},
        {"Документ", 78, Qt::AlignRight},
        {"Дата", 80, Qt::AlignHCenter},
    };
    auto *header = new QTreeWidgetItem;
    for (int c = 0; c < ColumnCount; ++c) {
        header->setText(c, QString::fromUtf8(columns[c].caption));
        header->setTextAlignment(c, columns[c].alignment | Qt::AlignVCenter);
    }
    m_list->setHeaderItem(header);
    // The price and the count stay in hidden columns; the list shows the sum.
    for (int c = 0; c < ColumnCount; ++c) {
        if (columns[c].width == 0)
            m_list->setColumnHidden(c, true);
        else
            m_list->setColumnWidth(c, columns[c].width);
    }
    m_list->installEventFilter(this);
    return m_list;
}

void ExpenseDialog::LineFields::clearForNext()
{
    item->setCurrentIndex(-1);
    item->setEditText(QString());
    price->setText(QStringLiteral("0"));
    counts->setText(QStringLiteral("1"));
}

void ExpenseDialog::showForAdding()
{
    m_mode = Mode::Adding;
    m_editedId = 0;
    setWindowTitle(kAddCaption);
    m_loaded.clear();
    reset();
    exec();
}

void ExpenseDialog::showForEditing(qint64 journalId)
{
    // Read first: a batch that cannot be read must not be offered for replacing.
    QVector<Line> lines = readBatch(journalId);
    m_mode = Mode::Editing;
    m_editedId = journalId;
    setWindowTitle(kEditCaption);
    m_loaded = std::move(lines);
    reset();
    exec();
    m_loaded.clear();
}

QVector<ExpenseDialog::Line> ExpenseDialog::readBatch(qint64 journalId) const
{
    using ledger::Money;
    ledger::Dataset &lines = m_session.lines();
    BatchFilter filter(lines, journalId);
    lines.open();
    QVector<Line> result;
    for (int row = 0; row < lines.count(); ++row) {
        Line line;
        line.values.name = lines.valueAt(row, QStringLiteral("names")).toString();
        line.values.price = lines.valueAt(row, QStringLiteral("price")).value<Money>();
        line.values.counts = lines.valueAt(row, QStringLiteral("counts")).value<Money>();
        line.values.document = lines.valueAt(row, QStringLiteral("doc")).toString();
        line.values.date = lines.valueAt(row, QStringLiteral("dates")).toDate();
        line.priceText = regional::moneyText(line.values.price);
        line.countsText = regional::moneyText(line.values.counts);
        line.sumText = regional::moneyText(line.values.amount());
        line.dateText = line.values.date.isValid() ? regional::shortDate(line.values.date) : QString();
        result.append(line);
    }
    return result;
}

void ExpenseDialog::reset()
{
    m_list->clear();
    m_lines.clear();
    m_fields.clearForNext();
    m_fields.document->clear();
    m_fields.date->setText(regional::shortDate(QDate::currentDate()));
    if (isEditing()) {
        for (const Line &line : std::as_const(m_loaded))
            appendLine(line);
    }
    m_add->setEnabled(false);
    m_fields.item->setFocus();
}

void ExpenseDialog::updateAddButton()
{
    const QString price = m_fields.price->text();
    m_add->setEnabled(!m_fields.item->currentText().isEmpty() && !price.isEmpty() && price != QLatin1String("0")
                      && !m_fields.counts->text().isEmpty());
}

void ExpenseDialog::addLine()
{
    Line line;
    line.priceText = m_fields.price->text();
    line.countsText = m_fields.counts->text();
    line.dateText = m_fields.date->text();
    line.values.name = m_fields.item->currentText();
    line.values.document = m_fields.document->text();
    // Everything the line will be written with is read and checked now, so that nothing
    // can be refused half-way when the batch is written.
    line.values.price = regional::parseMoney(line.priceText);
    line.values.counts = regional::parseMoney(line.countsText);
    line.values.date = regional::parseShortDate(line.dateText);
    ledger::checkExpenseLine(line.values);
    line.sumText = regional::moneyText(line.values.amount());
    QVector<ledger::ExpenseLine> batch;
    for (const Line &listed : std::as_const(m_lines))
        batch.append(listed.values);
    batch.append(line.values);
    ledger::batchTotal(batch);

    m_session.offerItemName(line.values.name);
    appendLine(line);

    m_fields.clearForNext();
    m_add->setEnabled(false);
    m_fields.item->setFocus();
}

void ExpenseDialog::appendLine(const Line &line)
{
    m_lines.append(line);
    auto *item = new QTreeWidgetItem(m_list);
    item->setText(Number, QString::number(m_list->topLevelItemCount()));
    item->setText(Item, line.values.name);
    item->setText(Sum, line.sumText);
    item->setText(Price, line.priceText);
    item->setText(Counts, line.countsText);
    item->setText(Document, line.values.document);
    item->setText(Date, line.dateText);
    item->setTextAlignment(Sum, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(Price, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(Counts, Qt::AlignHCenter | Qt::AlignVCenter);
    item->setTextAlignment(Document, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(Date, Qt::AlignHCenter | Qt::AlignVCenter);
}

void ExpenseDialog::removeSelectedLine()
{
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const int index = m_list->indexOfTopLevelItem(item);
    if (index < 0)
        return;
    delete m_list->takeTopLevelItem(index);
    m_lines.remove(index);
    renumber();
}

void ExpenseDialog::renumber()
{
    // Numbers are shown only; after a removal they run 1, 2, ... again.
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setText(Number, QString::number(i + 1));
}

bool ExpenseDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        ui::guard(this, [this] { removeSelectedLine(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ExpenseDialog::write()
{
    QVector<ledger::ExpenseLine> batch;
    for (const Line &line : std::as_const(m_lines))
        batch.append(line.values);
    const ledger::Connection &connection = m_session.connection();
    // One transaction each: the batch is stored whole or not at all, and an edited batch
    // is only gone once its replacement is stored.
    if (isEditing())
        ledger::replaceExpenseBatch(connection, m_editedId, batch);
    else
        ledger::recordExpenseBatch(connection, batch);
    m_session.offerItemName(m_fields.item->currentText());
    // Closed before the refresh: should the refresh fail, the batch is not offered for
    // writing a second time.
    accept();
    m_session.entriesChanged();
}

} // namespace entries
