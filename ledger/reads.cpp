#include "reads.h"

#include "schema.h"

namespace ledger::reads {

namespace {

QString lineAmount()
{
    // Spelled as the index spells it, so that the engine reads the index alone.
    return schema::amountExpression(QStringLiteral("price"), QStringLiteral("counts"));
}

} // namespace

QString viewColumns(const QString &view, const QStringList &columns, bool limited)
{
    const QString sql = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), view);
    return limited ? sql + QStringLiteral(" LIMIT ?") : sql;
}

QString priceHistory(bool wholePeriod)
{
    QString sql = QStringLiteral("SELECT dates, price FROM Rashod WHERE names = ? AND dates IS NOT NULL"
                                 " AND price IS NOT NULL");
    if (!wholePeriod)
        sql += QStringLiteral(" AND ") + schema::currentMonthCondition(QStringLiteral("dates"));
    return sql + QStringLiteral(" ORDER BY dates, id");
}

QString itemNames()
{
    // One step through the index per name rather than a walk over every line: a ledger of
    // millions of lines has a few hundred names.
    return QStringLiteral("WITH RECURSIVE item(name) AS (SELECT min(names) FROM Rashod WHERE names > ''"
                          " UNION ALL SELECT (SELECT min(names) FROM Rashod WHERE names > item.name) FROM item"
                          " WHERE item.name IS NOT NULL) SELECT name FROM item WHERE name IS NOT NULL");
}

QString newestItemName()
{
    return QStringLiteral("SELECT names FROM ListR WHERE names <> '' LIMIT 1");
}

QString lineDays()
{
    return QStringLiteral("SELECT day, n, nulls, low, high FROM GrafDay ORDER BY day");
}

QString dayLineAmounts()
{
    return QStringLiteral("SELECT %1 FROM Rashod WHERE dates IS ? ORDER BY %1 LIMIT ? OFFSET ?").arg(lineAmount());
}

QString dayLinesBelow()
{
    return QStringLiteral("SELECT count(*) FROM Rashod WHERE dates IS ? AND %1 < ?").arg(lineAmount());
}

} // namespace ledger::reads
