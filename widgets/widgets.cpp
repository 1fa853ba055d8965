#include "widgets.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QToolBar>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

// The resources live in a static library: nothing would pull them into the program unless
// they are asked for by name.
static void initialiseResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace ui {

void loadResources()
{
    static const bool loaded = [] {
        initialiseResources();
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {

QPair<QString, QString> splitHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return {hint, hint};
    return {hint.left(bar), hint.mid(bar + 1)};
}

class NumberKeyFilter : public QObject
{
public:
    NumberKeyFilter(QObject *parent, bool comma) : QObject(parent), m_comma(comma) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            // Only what would type a printable character is filtered: Delete ("\x7f"),
            // Backspace, Enter, Tab, Esc and the Ctrl shortcuts (undo, select all, the
            // clipboard) work as in any field.
            const QString text = static_cast<const QKeyEvent *>(event)->text();
            if (isPrintable(text) && !admitted(text))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool isPrintable(const QString &text)
    {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
    }

    bool admitted(const QString &text) const
    {
        for (const QChar c : text) {
            const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (m_comma && c == QLatin1Char(','));
            if (!ok)
                return false;
        }
        return true;
    }
    bool m_comma;
};

// Enter in the open suggestion list, with no suggestion chosen in it, goes to the dialog (its
// default button) with the text as typed; the list alone would only close.
class SuggestionKeys : public QObject
{
public:
    SuggestionKeys(QComboBox *box, QAbstractItemView *list) : QObject(box), m_box(box), m_list(list) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || m_list->currentIndex().isValid())
            return false;
        m_list->hide();
        QKeyEvent enter(QEvent::KeyPress, key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(m_box->window(), &enter);
        return true;
    }

private:
    QComboBox *m_box;
    QAbstractItemView *m_list;
};

} // namespace

void offerSuggestions(QComboBox *box, QAbstractItemModel *names)
{
    // The box itself gets no completer: with a completer that ignores letter case, the box
    // looks the text up in its list the same way on Enter and when it loses the focus, and
    // takes the listed spelling. Without one it only ever matches the exact text. The
    // suggestions come from a completer of the box's line edit, driven as the line edit
    // drives its own.
    box->setCompleter(nullptr);
    QLineEdit *edit = box->lineEdit();
    auto *completer = new QCompleter(names, box);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchStartsWith);
    completer->setWidget(edit);
    QObject::connect(edit, &QLineEdit::textEdited, completer, [completer](const QString &text) {
        completer->setCompletionPrefix(text);
        if (text.isEmpty())
            completer->popup()->hide();
        else
            completer->complete();
    });
    // A suggestion the user picks replaces the text.
    QObject::connect(completer, qOverload<const QString &>(&QCompleter::activated), box,
                     [box](const QString &text) { box->setEditText(text); });
    // After the list's own filter, so that this one sees the keys first.
    QAbstractItemView *list = completer->popup();
    list->installEventFilter(new SuggestionKeys(box, list));
}

void setHint(QWidget *widget, const QString &hint, bool withTooltip)
{
    const auto [tip, status] = splitHint(hint);
    if (withTooltip)
        widget->setToolTip(tip);
    widget->setStatusTip(status);
}

void setHint(QAction *action, const QString &hint)
{
    const auto [tip, status] = splitHint(hint);
    action->setToolTip(tip);
    action->setStatusTip(status);
}

QIcon icon(const QString &ownName, const QString &themeName)
{
    loadResources();
    const QIcon own(QStringLiteral(":/icons/%1.svg").arg(ownName));
    if (themeName.isEmpty())
        return own;
    return QIcon::fromTheme(themeName, own);
}

void makePasswordField(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void filterNumberKeys(QLineEdit *edit, bool comma)
{
    edit->installEventFilter(new NumberKeyFilter(edit, comma));
}

QFont tahoma(int points, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QFrame *horizontalLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QFrame *whiteBand(QWidget *parent, int height)
{
    auto *band = new QFrame(parent);
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(palette);
    band->setFixedHeight(height);
    return band;
}

QPushButton *browseButton(QWidget *parent, bool withTooltip)
{
    auto *button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QStringLiteral("Button1"));
    button->setFixedWidth(28);
    setHint(button, QStringLiteral("Обзор...|Выбор файла базы данных"), withTooltip);
    button->setAccessibleName(QStringLiteral("Обзор..."));
    return button;
}

QToolBar *windowToolBar(QWidget *parent)
{
    auto *toolBar = new QToolBar(parent);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(16, 16));
    return toolBar;
}

QComboBox *addPeriodBox(QToolBar *toolBar, int preselected, const QString &labelName)
{
    auto *label = new QLabel(QStringLiteral("   Выбор периода: "), toolBar);
    label->setObjectName(labelName);
    label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    toolBar->addWidget(label);
    auto *box = new QComboBox(toolBar);
    box->setObjectName(QStringLiteral("ComboBox1"));
    box->addItems({QStringLiteral("За текущий месяц"), QStringLiteral("За весь период")});
    box->setCurrentIndex(preselected);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(box);
    nameForAccessibility(box, QStringLiteral("Выбор периода"));
    toolBar->addWidget(box);
    return box;
}

void nameForAccessibility(QWidget *widget, const QString &name)
{
    widget->setAccessibleName(name);
}

} // namespace ui
