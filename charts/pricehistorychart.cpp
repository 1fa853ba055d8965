#include "pricehistorychart.h"

#include "plot.h"

#include "widgets/guard.h"
#include "widgets/widgets.h"
#include "ledger/regional.h"
#include "ledger/session.h"

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QCompleter>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace charts {

namespace {

QString priceText(ledger::Money price)
{
    return regional::amountText(price) + QStringLiteral(" руб.");
}

const QString kNone = QStringLiteral("—");

} // namespace

const QString PriceHistoryChart::kCaption = QStringLiteral("История цен");

WindowLook PriceHistoryChart::look()
{
    WindowLook look;
    look.caption = kCaption;
    look.objectName = QStringLiteral("TForm14");
    look.size = QSize(700, 460);
    look.place = QPoint(120, 30);
    // A history is read over the years; the month alone is one pick away.
    look.preselected = 1;
    look.tooltips = true;
    look.icon = QStringLiteral("window-prices");
    look.whiteBackground = true;
    return look;
}

PriceHistoryChart::PriceHistoryChart(ledger::Session &session, QWidget *parent)
    : ChartWindow(session, look(), parent)
{
    // The item box goes in front of the period box.
    QToolBar *bar = toolBar();
    QAction *periodLabel = bar->actions().value(0);
    auto *caption = new QLabel(QStringLiteral("   Товар/услуга: "), bar);
    caption->setObjectName(QStringLiteral("Label2"));
    m_itemBox = new QComboBox(bar);
    m_itemBox->setObjectName(QStringLiteral("ComboBox2"));
    m_itemBox->setEditable(true);
    m_itemBox->setInsertPolicy(QComboBox::NoInsert);
    m_itemBox->setMinimumContentsLength(22);
    m_itemBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_itemBox->setMaxVisibleItems(20);
    m_itemBox->lineEdit()->setMaxLength(255);
    ui::setHint(m_itemBox, QStringLiteral("Товар или услуга|Название в точности как в расходах, с учётом регистра букв"));
    ui::nameForAccessibility(m_itemBox, QStringLiteral("Товар/услуга"));
    caption->setBuddy(m_itemBox);
    // Typing offers the names that contain the text, letter case as typed; what is typed
    // is never replaced by a name that merely looks alike.
    auto *completer = new QCompleter(m_itemBox->model(), m_itemBox);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    m_itemBox->setCompleter(completer);
    bar->insertWidget(periodLabel, caption);
    bar->insertWidget(periodLabel, m_itemBox);

    m_line = plot().addLine(QStringLiteral("Цена"), QColor(0, 92, 170), 2, QStringLiteral("Series1"));
    plot().setLineMarkers(m_line, true);
    plot().setLineThinWhenDense(m_line, true);
    plot().chart()->legend()->hide();
    plot().setHorizontalTicks([this](double from, double to, double pixelsPerDay) {
        // No purchase, no dates.
        if (m_points.isEmpty())
            return QVector<QPair<double, QString>>();
        const QFontMetricsF metrics(plot().textFont());
        const double width = metrics.horizontalAdvance(regional::shortDate(QDate(2000, 12, 28))) + 12;
        return dateTicks(m_baseDay, from, to, pixelsPerDay, width);
    });
    plot().setVerticalRule([this](const QRectF &) {
        if (m_points.isEmpty())
            return qMakePair(0.0, 1.0);
        double low = m_figures.lowest.toDouble();
        double high = m_figures.highest.toDouble();
        const double room = high > low ? (high - low) * 0.08 : std::max(std::abs(high) * 0.1, 1.0);
        // Prices above nothing stay above the axis' foot.
        const double foot = low >= 0 ? std::max(0.0, low - room) : low - room;
        return qMakePair(foot, high + room);
    });
    addBelowChart(makeFigures());

    // A pick from the list, or Enter on a name of the list, activates it; Enter on any other
    // text shows that text's history just the same.
    connect(m_itemBox, &QComboBox::textActivated, this, ui::guarded(this, [this] { loadPeriod(); }));
    connect(m_itemBox->lineEdit(), &QLineEdit::returnPressed, this, ui::guarded(this, [this] {
                if (m_itemBox->findText(m_itemBox->currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0)
                    loadPeriod();
            }));
    showHistory();
}

QWidget *PriceHistoryChart::makeFigures()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("Panel1"));
    auto *grid = new QGridLayout(strip);
    grid->setContentsMargins(10, 4, 10, 6);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(2);
    const auto figure = [&](const char *name, const QString &title, int row, int column) {
        auto *caption = new QLabel(title, strip);
        auto *value = new QLabel(strip);
        value->setObjectName(QLatin1String(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        grid->addWidget(caption, row, 2 * column, Qt::AlignLeft);
        grid->addWidget(value, row, 2 * column + 1, Qt::AlignLeft);
        return value;
    };
    m_first = figure("FirstPrice", QStringLiteral("Первая цена:"), 0, 0);
    m_lowest = figure("LowestPrice", QStringLiteral("Наименьшая:"), 0, 1);
    m_highest = figure("HighestPrice", QStringLiteral("Наибольшая:"), 0, 2);
    m_last = figure("LastPrice", QStringLiteral("Последняя цена:"), 1, 0);
    m_change = figure("PriceChange", QStringLiteral("Изменение:"), 1, 1);
    m_count = figure("PurchaseCount", QStringLiteral("Покупок:"), 1, 2);
    grid->setColumnStretch(6, 1);
    return strip;
}

void PriceHistoryChart::start()
{
    const ledger::Connection &connection = session().connection();
    const QStringList names = readItemNames(connection);
    m_itemBox->clear();
    m_itemBox->addItems(names);
    // The item bought last comes up first.
    const QString newest = newestItemName(connection);
    m_itemBox->setCurrentIndex(m_itemBox->findText(newest, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    m_itemBox->setEditText(newest);
    ChartWindow::start();
}

void PriceHistoryChart::load(bool wholePeriod)
{
    m_item = m_itemBox->currentText();
    m_points = {};
    showHistory();
    m_points = readPriceHistory(session().connection(), m_item, wholePeriod);
    showHistory();
}

void PriceHistoryChart::showHistory()
{
    m_figures = priceFigures(m_points);
    QVector<QPointF> places;
    double from = 0.0;
    double to = 1.0;
    if (!m_points.isEmpty()) {
        const double firstDay = m_points.first().day();
        const double lastDay = m_points.last().day();
        // Room at both ends, so that the first and last purchase are not on the frame.
        const double room = std::max(1.0, (lastDay - firstDay) * 0.03);
        m_baseDay = qint64(std::floor(firstDay - room));
        from = firstDay - room - double(m_baseDay);
        to = lastDay + room - double(m_baseDay);
        places.reserve(m_points.size());
        for (const PricePoint &point : m_points)
            places.append(QPointF(point.day() - double(m_baseDay), point.price.toDouble()));
    }
    plot().setLinePoints(m_line, std::move(places));
    plot().setHorizontal(from, to, 0, {}, LabelFit::SkipOverlapping);
    plot().chart()->setTitle(m_item);
    plot().reload();
    showFigures();
}

void PriceHistoryChart::showFigures()
{
    const bool any = m_figures.purchases > 0;
    m_count->setText(QString::number(m_figures.purchases));
    m_first->setText(any ? priceText(m_figures.first) : kNone);
    m_lowest->setText(any ? priceText(m_figures.lowest) : kNone);
    m_highest->setText(any ? priceText(m_figures.highest) : kNone);
    m_last->setText(any ? priceText(m_figures.last) : kNone);
    m_change->setText(any && m_figures.change ? percentText(*m_figures.change) : kNone);
}

} // namespace charts
