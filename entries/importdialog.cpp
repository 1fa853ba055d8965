#include "importdialog.h"

#include "importmodel.h"

#include "widgets/dialogframe.h"
#include "widgets/dialogs.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "ledger/columns.h"
#include "ledger/session.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include <exception>
#include <functional>
#include <memory>

namespace entries {

namespace {

template<std::size_t N>
int limitOf(const ledger::columns::Column (&table)[N], const char *column)
{
    for (const ledger::columns::Column &c : table) {
        if (qstrcmp(c.name, column) == 0)
            return c.limit;
    }
    return 0;
}

// The name of a line in a text box, the type of an income in a box that offers the known
// types and takes a new one; neither takes more than its column holds.
class ImportDelegate : public QStyledItemDelegate
{
public:
    ImportDelegate(ledger::Session &session, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_session(session)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() != ImportModel::IncomeType) {
            auto *edit = new QLineEdit(parent);
            edit->setFrame(false);
            edit->setMaxLength(limitOf(ledger::columns::kRashod, "names"));
            return edit;
        }
        Q_UNUSED(option)
        auto *box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setModel(&m_session.incomeTypes());
        box->lineEdit()->setMaxLength(limitOf(ledger::columns::kDohod, "names"));
        return box;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto *box = qobject_cast<QComboBox *>(editor))
            box->setEditText(text);
        else
            static_cast<QLineEdit *>(editor)->setText(text);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor))
            model->setData(index, box->currentText());
        else
            model->setData(index, static_cast<QLineEdit *>(editor)->text());
    }

protected:
    // Enter ends the edit at once and goes no further: it must not reach the dialog's
    // default button before the typed text is in the model.
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *editor = qobject_cast<QWidget *>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            auto *box = qobject_cast<QComboBox *>(editor);
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(box && box->view()->isVisible())) {
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    ledger::Session &m_session;
};

// Runs `work` in a thread of its own while the window waits in a progress dialog that says
// what is being done; an error of the work is raised here.
void runAside(QWidget *parent, const QString &label, const std::function<void()> &work)
{
    std::exception_ptr failure;
    std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QProgressDialog progress(label, QString(), 0, 0, parent);
    ui::setUpProgress(progress, QStringLiteral("ImportProgress"), 400);
    progress.setCancelButton(nullptr);
    thread->start();
    progress.setValue(0);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

ImportDialog::ImportDialog(ledger::Session &session, Kind kind, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_kind(kind)
    , m_model(new ImportModel(this))
{
    const bool receipts = kind == Kind::Receipts;
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(receipts ? QStringLiteral("Импорт чека") : QStringLiteral("Импорт выписки"));
    const ui::Header header{receipts ? QStringLiteral("expense") : QStringLiteral("income"),
                            receipts ? QStringLiteral("Импорт чеков") : QStringLiteral("Импорт банковской выписки"),
                            QStringLiteral("Отметьте записи, которые нужно внести в базу данных. Ничего не "
                                           "записывается, пока не нажата кнопка «Записать»."),
                            60};
    QVBoxLayout *body = ui::frameDialog(this, header, {QMargins(), 0, QMargins(10, 8, 10, 10), 6}).body;
    if (receipts)
        buildQrRow(body);

    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("ImportTree"));
    m_tree->setModel(m_model);
    m_tree->setItemDelegate(new ImportDelegate(session, m_tree));
    m_tree->setUniformRowHeights(true);
    m_tree->setAlternatingRowColors(true);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::SelectedClicked);
    m_tree->header()->setStretchLastSection(true);
    // Columns are fitted to what they show; they start narrow.
    m_tree->header()->setDefaultSectionSize(40);
    m_tree->setAccessibleName(QStringLiteral("Записи к импорту"));
    body->addWidget(m_tree, 1);
    // The current row's origin and notes in full, however narrow their column.
    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("Details"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body->addWidget(m_details);

    m_rejectedCaption = new QLabel(QStringLiteral("Не приняты (не будут записаны):"), this);
    m_rejected = new QListWidget(this);
    m_rejected->setObjectName(QStringLiteral("Rejected"));
    m_rejected->setAccessibleName(m_rejectedCaption->text());
    m_rejectedCaption->setBuddy(m_rejected);
    m_rejectedCaption->hide();
    m_rejected->hide();
    body->addWidget(m_rejectedCaption);
    body->addWidget(m_rejected);

    auto *addFiles = new QPushButton(receipts ? QStringLiteral("Добавить файлы…") : QStringLiteral("Добавить файл…"),
                                     this);
    addFiles->setObjectName(QStringLiteral("AddFilesButton"));
    addFiles->setAutoDefault(false);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_write = new QPushButton(QStringLiteral("Записать"), this);
    m_write->setObjectName(QStringLiteral("WriteButton"));
    m_write->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addWidget(addFiles);
    row->addSpacing(8);
    row->addWidget(m_summary);
    row->addStretch();
    row->addWidget(m_write);
    row->addWidget(cancel);
    body->addLayout(row);

    connect(m_model, &ImportModel::tickedChanged, this, [this] { updateSummary(); });
    connect(m_tree, &QTreeView::expanded, this, [this] { fitColumns(); });
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { showDetails(current); });
    connect(addFiles, &QPushButton::clicked, this, ui::guarded(this, [this] { pickFiles(); }));
    connect(m_write, &QPushButton::clicked, this, ui::guarded(this, [this] { write(); }));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    updateSummary();
    // Wide enough for the notes beside the other columns, where the screen allows it.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 9 / 10 : 1100;
    resize(std::min(1100, room), 560);
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The rows came before the dialog had its size.
    fitColumns();
}

void ImportDialog::buildQrRow(QLayout *body)
{
    m_qr = new QLineEdit(this);
    m_qr->setObjectName(QStringLiteral("QrEdit"));
    m_qr->setPlaceholderText(QStringLiteral("t=20240917T1801&s=1285.21&fn=…&i=…&fp=…&n=1"));
    m_qr->setClearButtonEnabled(true);
    auto *add = new QPushButton(QStringLiteral("Добавить по QR-коду"), this);
    add->setObjectName(QStringLiteral("QrButton"));
    add->setAutoDefault(false);
    auto *row = new QHBoxLayout;
    row->addWidget(ui::captionFor(m_qr, QStringLiteral("Текст QR-кода чека:")));
    row->addWidget(m_qr, 1);
    row->addWidget(add);
    static_cast<QBoxLayout *>(body)->addLayout(row);
    const auto addTyped = [this] {
        addQr(m_qr->text());
        m_qr->clear();
    };
    connect(add, &QPushButton::clicked, this, ui::guarded(this, addTyped));
    // Enter in the box adds the receipt; it does not write the preview.
    struct EnterAdds : QObject
    {
        std::function<void()> add;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent *>(event)->key();
                if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !static_cast<QLineEdit *>(watched)->text().isEmpty()) {
                    add();
                    return true;
                }
            }
            return false;
        }
    };
    auto *filter = new EnterAdds;
    filter->setParent(m_qr);
    filter->add = ui::guarded(this, addTyped);
    m_qr->installEventFilter(filter);
}

void ImportDialog::run()
{
    pickFiles();
    // A statement's preview without a statement would only be closed again.
    if (m_kind == Kind::Statement && m_model->rowCount() == 0 && m_rejected->count() == 0)
        return;
    if (m_qr && m_model->rowCount() == 0)
        m_qr->setFocus();
    else
        m_tree->setFocus();
    exec();
}

void ImportDialog::pickFiles()
{
    const QWidget *shown = isVisible() ? this : parentWidget();
    ui::FileRequest request{const_cast<QWidget *>(shown), false, QString(), QString()};
    if (m_kind == Kind::Receipts) {
        request.filter = QStringLiteral("Чеки в формате JSON (*.json);;Все файлы (*)");
        addFiles(ui::chooseFiles(request));
    } else {
        // The format is told from the content, whatever the file is called.
        request.filter = QStringLiteral("Выписки банка (*.csv *.ofx *.qif *.xml *.txt);;Все файлы (*)");
        const QString path = ui::chooseFile(request);
        if (!path.isEmpty())
            addFiles({path});
    }
}

void ImportDialog::addFiles(const QStringList &paths)
{
    for (const QString &path : paths)
        ui::guard(isVisible() ? this : parentWidget(), [this, &path] { addResult(readFile(path)); });
}

imports::ReadResult ImportDialog::readFile(const QString &path)
{
    QWidget *shown = isVisible() ? this : parentWidget();
    const QString name = QFileInfo(path).fileName();
    const QString label = QStringLiteral("Чтение файла «%1»…").arg(name);
    if (m_kind == Kind::Receipts) {
        imports::ReadResult result;
        runAside(shown, label, [&] { result = imports::readReceipts(imports::readImportFile(path), name); });
        return result;
    }
    QByteArray content;
    bool ambiguous = false;
    runAside(shown, label, [&] {
        content = imports::readImportFile(path);
        ambiguous = imports::statementDatesAmbiguous(content);
    });
    imports::DateOrder order = imports::DateOrder::Unknown;
    if (ambiguous) {
        const QMessageBox::StandardButton answer = ui::message(
            {shown, QMessageBox::Question,
             QStringLiteral("Даты в файле «%1» можно прочесть двояко: например, 03/04/2024 — это и 3 апреля, "
                            "и 4 марта. Что стоит в датах первым, день или месяц?")
                 .arg(name),
             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
             {QStringLiteral("Сначала день"), QStringLiteral("Сначала месяц"), QStringLiteral("Отмена")}});
        if (answer == QMessageBox::Cancel)
            return {};
        order = answer == QMessageBox::Yes ? imports::DateOrder::DayFirst : imports::DateOrder::MonthFirst;
    }
    imports::ReadResult result;
    runAside(shown, label, [&] { result = imports::readStatement(content, name, order); });
    return result;
}

void ImportDialog::addQr(const QString &text)
{
    if (text.trimmed().isEmpty())
        return;
    addResult(imports::readReceiptQr(text.trimmed()));
}

void ImportDialog::addResult(imports::ReadResult result)
{
    imports::markKnown(m_session.connection(), result.candidates);
    const bool first = m_model->rowCount() == 0;
    m_model->append(std::move(result.candidates));
    for (const imports::Rejected &r : std::as_const(result.rejected))
        m_rejected->addItem(QStringLiteral("%1: %2").arg(r.origin, r.reason));
    m_rejectedCaption->setVisible(m_rejected->count() > 0);
    m_rejected->setVisible(m_rejected->count() > 0);
    if (m_rejected->count() > 0) {
        // As high as its rows, up to four; more scroll.
        const int rows = std::min(m_rejected->count(), 4);
        m_rejected->setFixedHeight(rows * m_rejected->sizeHintForRow(0) + 2 * m_rejected->frameWidth() + 2);
    }
    fitColumns();
    if (first && m_model->rowCount() > 0)
        m_tree->setCurrentIndex(m_model->index(0, ImportModel::Date));
}

void ImportDialog::fitColumns()
{
    // Columns only grow, so that a row shown later (a receipt's lines) finds its room. The
    // view measures the rows it shows; money columns take the widest sum there can be.
    // QTreeView keeps its measure protected; QAbstractItemView offers it.
    const QAbstractItemView *view = m_tree;
    const int money = m_tree->fontMetrics().horizontalAdvance(QStringLiteral("+999999,99")) + 12;
    int used = 0;
    for (int column = 0; column < ImportModel::Note; ++column) {
        int width = std::max(view->sizeHintForColumn(column), m_tree->header()->sectionSizeHint(column));
        if (column == ImportModel::Price || column == ImportModel::Amount)
            width = std::max(width, money);
        // A long name is shown whole in its tip: it does not push the other columns away.
        if (column == ImportModel::Title)
            width = std::min(width, m_tree->viewport()->width() * 2 / 5);
        width = std::max(width, m_tree->columnWidth(column));
        m_tree->setColumnWidth(column, width);
        used += width;
    }
    // The notes fill the rest, or scroll when they need more.
    const int notes = view->sizeHintForColumn(ImportModel::Note);
    const bool scroll = used + notes > m_tree->viewport()->width();
    m_tree->header()->setStretchLastSection(!scroll);
    if (scroll)
        m_tree->setColumnWidth(ImportModel::Note, std::max(notes, m_tree->columnWidth(ImportModel::Note)));
}

void ImportDialog::showDetails(const QModelIndex &current)
{
    const int row = m_model->candidateOf(current);
    if (row < 0) {
        m_details->clear();
        return;
    }
    const QString note = m_model->index(row, ImportModel::Note).data().toString();
    const QString origin = m_model->candidates().at(row).origin;
    m_details->setText(note.isEmpty() ? origin : origin + QStringLiteral(": ") + note);
}

void ImportDialog::updateSummary()
{
    const int ticked = m_model->tickedCount();
    m_summary->setText(QStringLiteral("Отмечено: %1 из %2").arg(ticked).arg(m_model->rowCount()));
    m_write->setEnabled(ticked > 0);
}

void ImportDialog::write()
{
    const QVector<imports::Candidate> &candidates = m_model->candidates();
    {
        // One transaction on the window's own connection: a big statement takes a moment.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const std::unique_ptr<void, void (*)(void *)> restore(this, [](void *) { QGuiApplication::restoreOverrideCursor(); });
        imports::writeTicked(m_session.connection(), candidates);
    }
    for (const imports::Candidate &c : candidates) {
        if (!c.ticked || c.alreadyImported)
            continue;
        if (c.direction == imports::Direction::Income)
            m_session.offerIncomeType(c.incomeType);
        for (const ledger::ExpenseLine &line : c.lines)
            m_session.offerItemName(line.name);
    }
    // Closed before the refresh: should the refresh fail, nothing is offered for writing twice.
    accept();
    m_session.entriesChanged();
}

} // namespace entries
