#include "bookkeeping.h"

#include "database.h"
#include "error.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ledger {

namespace {

void writeLines(const Connection &connection, qint64 journalId, const QVector<ExpenseLine> &lines)
{
    for (const ExpenseLine &line : lines) {
        connection.insert(QStringLiteral("Rashod"), {{QStringLiteral("kod"), journalId},
                                                     {QStringLiteral("names"), line.name},
                                                     {QStringLiteral("price"), QVariant::fromValue(line.price)},
                                                     {QStringLiteral("counts"), QVariant::fromValue(line.counts)},
                                                     {QStringLiteral("doc"), line.document},
                                                     // A line without a date keeps none.
                                                     {QStringLiteral("dates"), line.date.isValid() ? QVariant(line.date) : QVariant()}});
    }
}

void checkAll(const QVector<ExpenseLine> &lines)
{
    for (const ExpenseLine &line : lines)
        checkExpenseLine(line);
}

Money moneyOrZero(const QVariant &stored)
{
    return stored.isNull() ? Money() : Money::fromTicks(stored.toLongLong());
}

} // namespace

void checkExpenseLine(const ExpenseLine &line)
{
    Connection::checkText(QStringLiteral("Rashod"), QStringLiteral("names"), line.name);
    Connection::checkText(QStringLiteral("Rashod"), QStringLiteral("doc"), line.document);
    line.amount();
}

Money batchTotal(const QVector<ExpenseLine> &lines)
{
    Money total;
    for (const ExpenseLine &line : lines)
        total += line.amount();
    return total;
}

// The date and time columns of a journal row written at a given moment; none for now,
// which leaves them to the engine's defaults.
Row recordedAtColumns(const QDateTime &recordedAt)
{
    if (!recordedAt.isValid())
        return {};
    return {{QStringLiteral("dates"), recordedAt.date()}, {QStringLiteral("times"), recordedAt.time()}};
}

qint64 recordExpenseBatch(const Connection &connection, const QVector<ExpenseLine> &lines, const QDateTime &recordedAt)
{
    checkAll(lines);
    return recordExpenseBatch(connection, lines, recordedAt, batchTotal(lines));
}

qint64 recordExpenseBatch(const Connection &connection, const QVector<ExpenseLine> &lines, const QDateTime &recordedAt,
                          Money total)
{
    checkAll(lines);
    Transaction transaction(connection);
    const qint64 id = connection.insert(QStringLiteral("List"), Row{{QStringLiteral("names"), kExpenseName},
                                                                    {QStringLiteral("suma"), QVariant::fromValue(total)}}
                                                                    + recordedAtColumns(recordedAt));
    writeLines(connection, id, lines);
    transaction.commit();
    return id;
}

struct EntryWriter::Statements
{
    QSqlQuery list, line, type;
};

EntryWriter::EntryWriter(const Connection &connection) : m_statements(new Statements)
{
    const auto prepared = [&](QSqlQuery &query, const QString &sql) {
        query = QSqlQuery(connection.database());
        if (!query.prepare(sql))
            throw DatabaseError(query.lastError().text());
    };
    prepared(m_statements->list, QStringLiteral("INSERT INTO List (names, suma, dates, times, comments) VALUES (?, ?, ?, ?, ?)"));
    prepared(m_statements->line,
             QStringLiteral("INSERT INTO Rashod (kod, names, price, counts, doc, dates) VALUES (?, ?, ?, ?, ?, ?)"));
    prepared(m_statements->type, QStringLiteral("INSERT INTO Dohod (names) VALUES (?)"));
}

EntryWriter::~EntryWriter() = default;

namespace {

void runPrepared(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, toStored(values[i]));
    if (!query.exec())
        throw DatabaseError(query.lastError().text());
}

QVariant dateOf(const QDateTime &at)
{
    return at.isValid() ? QVariant(at.date()) : QVariant(QDate::currentDate());
}

QVariant timeOf(const QDateTime &at)
{
    return at.isValid() ? QVariant(at.time()) : QVariant(QTime::currentTime());
}

} // namespace

qint64 EntryWriter::expenseBatch(const QVector<ExpenseLine> &lines, const QDateTime &recordedAt, Money total)
{
    checkAll(lines);
    runPrepared(m_statements->list,
                {kExpenseName, QVariant::fromValue(total), dateOf(recordedAt), timeOf(recordedAt), QVariant()});
    const qint64 id = m_statements->list.lastInsertId().toLongLong();
    for (const ExpenseLine &line : lines)
        runPrepared(m_statements->line, {id, line.name, QVariant::fromValue(line.price), QVariant::fromValue(line.counts),
                                         line.document, line.date.isValid() ? QVariant(line.date) : QVariant()});
    return id;
}

qint64 EntryWriter::income(const QString &type, Money sum, const QString &comment, bool newType,
                           const QDateTime &recordedAt)
{
    checkIncome(type, comment);
    runPrepared(m_statements->list,
                {kIncomePrefix + type, QVariant::fromValue(sum), dateOf(recordedAt), timeOf(recordedAt), comment});
    const qint64 id = m_statements->list.lastInsertId().toLongLong();
    if (newType)
        runPrepared(m_statements->type, {type});
    return id;
}

qint64 replaceExpenseBatch(const Connection &connection, qint64 editedId, const QVector<ExpenseLine> &lines)
{
    checkAll(lines);
    const Money total = batchTotal(lines);
    Transaction transaction(connection);
    QSqlQuery edited = connection.run(QStringLiteral("SELECT dates FROM List WHERE id = ?"), {editedId});
    if (!edited.next())
        throw DatabaseError(QStringLiteral("Запись журнала %1 не найдена: возможно, она уже удалена.").arg(editedId));
    const QVariant date = edited.value(0);
    edited.finish();
    deleteEntry(connection, editedId);
    // The stored date text is carried over as it is, time of day included.
    const qint64 id = connection.insert(QStringLiteral("List"), {{QStringLiteral("names"), kExpenseName},
                                                                 {QStringLiteral("suma"), QVariant::fromValue(total)},
                                                                 {QStringLiteral("dates"), date}});
    writeLines(connection, id, lines);
    transaction.commit();
    return id;
}

void checkIncome(const QString &type, const QString &comment)
{
    Connection::checkText(QStringLiteral("List"), QStringLiteral("names"), kIncomePrefix + type);
    Connection::checkText(QStringLiteral("List"), QStringLiteral("comments"), comment);
    Connection::checkText(QStringLiteral("Dohod"), QStringLiteral("names"), type);
}

qint64 recordIncome(const Connection &connection, const QString &type, Money sum, const QString &comment,
                    bool newType, const QDateTime &recordedAt)
{
    checkIncome(type, comment);
    Transaction transaction(connection);
    const qint64 id = connection.insert(QStringLiteral("List"), Row{{QStringLiteral("names"), kIncomePrefix + type},
                                                                    {QStringLiteral("suma"), QVariant::fromValue(sum)},
                                                                    {QStringLiteral("comments"), comment}}
                                                                    + recordedAtColumns(recordedAt));
    if (newType)
        connection.insert(QStringLiteral("Dohod"), {{QStringLiteral("names"), type}});
    transaction.commit();
    return id;
}

void deleteEntry(const Connection &connection, qint64 journalId)
{
    connection.remove(QStringLiteral("List"), journalId);
}

qint64 bookLoanPayment(const Connection &connection, const QString &loanName, Money amount)
{
    return recordExpenseBatch(connection,
                              {ExpenseLine{loanName, amount, Money::fromUnits(1), kLoanDocument, QDate::currentDate()}});
}

void storeRates(const Connection &connection, Money usd, Money eur, Money gbp, const QDate &day)
{
    Row values = {{QStringLiteral("valuta1"), QStringLiteral("Доллар США")},
                  {QStringLiteral("kurs1"), QVariant::fromValue(usd)},
                  {QStringLiteral("valuta2"), QStringLiteral("Евро")},
                  {QStringLiteral("kurs2"), QVariant::fromValue(eur)},
                  {QStringLiteral("valuta3"), QStringLiteral("Фунт")},
                  {QStringLiteral("kurs3"), QVariant::fromValue(gbp)}};
    if (day.isValid())
        values.append({QStringLiteral("dates"), day});
    connection.insert(QStringLiteral("Valuta"), values);
}

LedgerHeader readHeader(const Connection &connection)
{
    QSqlQuery q = connection.run(QStringLiteral("SELECT names, pas FROM VelTor ORDER BY id LIMIT 1"));
    if (!q.next())
        throw DatabaseError(QStringLiteral("В базе данных нет заголовка (таблица VelTor пуста)"));
    LedgerHeader header;
    header.descriptionNull = q.value(0).isNull();
    header.passwordNull = q.value(1).isNull();
    header.description = q.value(0).toString();
    header.password = q.value(1).toString();
    q.finish();
    return header;
}

void writeHeader(const Connection &connection, const QString &description, const QString &password)
{
    changeHeader(connection, description, password);
}

void changeHeader(const Connection &connection, const std::optional<QString> &description,
                  const std::optional<QString> &password)
{
    Row values;
    if (password)
        values.append({QStringLiteral("pas"), *password});
    if (description)
        values.append({QStringLiteral("names"), *description});
    if (values.isEmpty())
        return;
    const QVariant id = connection.scalar(QStringLiteral("SELECT id FROM VelTor ORDER BY id LIMIT 1"));
    if (id.isNull())
        throw DatabaseError(QStringLiteral("В базе данных нет заголовка (таблица VelTor пуста)"));
    connection.update(QStringLiteral("VelTor"), id.toLongLong(), values);
}

Totals readTotals(const Connection &connection)
{
    Totals totals;
    totals.expenses = moneyOrZero(connection.scalar(QStringLiteral("SELECT ItogR FROM ItogRashod")));
    totals.income = moneyOrZero(connection.scalar(QStringLiteral("SELECT ItogD FROM ItogDohod")));
    totals.monthExpenses = moneyOrZero(connection.scalar(QStringLiteral("SELECT RashodM FROM Rashods")));
    totals.monthIncome = moneyOrZero(connection.scalar(QStringLiteral("SELECT DohodM FROM Dohods")));
    return totals;
}

} // namespace ledger
