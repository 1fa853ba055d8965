#include "schemacheck.h"

#include "error.h"
#include "schema.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <sqlite3.h>

#include <memory>

namespace ledger::schemacheck {

namespace {

using Reason = ConnectionError::Reason;
// By name in lower case: the engine takes names without regard to the case of ASCII letters.
using Objects = QMap<QString, StoredObject>;

QString asciiLower(const QString &text)
{
    QString lower = text;
    for (QChar &c : lower) {
        if (c.unicode() < 128)
            c = c.toLower();
    }
    return lower;
}

Objects readObjects(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    const char *sql = "SELECT type, name, sql FROM sqlite_master";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(statement, sqlite3_finalize);
    Objects objects;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto text = [statement](int column) {
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                                     sqlite3_column_bytes(statement, column));
        };
        const StoredObject object{text(0), text(1), text(2)};
        objects.insert(asciiLower(object.name), object);
    }
    if (rc != SQLITE_DONE)
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    return objects;
}

// The program's own objects as a new ledger of the current version holds them, built once
// in memory from the same statements that build a ledger file.
const Objects &reference()
{
    static const Objects objects = [] {
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close_v2);
        for (const QString &statement : schema::createStatements()) {
            if (sqlite3_exec(raw, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                qFatal("the program's own schema does not build: %s", sqlite3_errmsg(raw));
        }
        return readObjects(raw);
    }();
    return objects;
}

// Names (lower case) and kinds of what the steps from `fromVersion` to the current version
// create.
QMap<QString, QString> createdByUpgrade(int fromVersion, int toVersion = schema::currentVersion())
{
    static const QRegularExpression create(
        QStringLiteral("^\\s*CREATE\\s+(?:UNIQUE\\s+)?(TABLE|INDEX|TRIGGER|VIEW)\\s+(?:IF\\s+NOT\\s+EXISTS\\s+)?(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    QMap<QString, QString> created;
    for (int version = fromVersion; version < toVersion; ++version) {
        for (const QString &statement : schema::upgradeStatements(version)) {
            const QRegularExpressionMatch match = create.match(statement);
            if (match.hasMatch())
                created.insert(asciiLower(match.captured(2)), match.captured(1).toLower());
        }
    }
    return created;
}

// A file of version 0 or below has lost its version: it is at the last version whose steps'
// tables and indexes it holds all of.
int contentVersion(const Objects &file, int userVersion)
{
    if (userVersion >= 1)
        return userVersion;
    int version = 1;
    for (; version < schema::currentVersion(); ++version) {
        const QMap<QString, QString> created = createdByUpgrade(version, version + 1);
        bool holds = true;
        for (auto it = created.begin(); it != created.end() && holds; ++it) {
            if (it.value() == QLatin1String("table") || it.value() == QLatin1String("index"))
                holds = file.value(it.key()).type == it.value();
        }
        if (!holds)
            break;
    }
    return version;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() >= 128;
}

} // namespace

QString normalised(const QString &sql)
{
    QStringList tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            // A literal or a quoted name, its closing quote doubled inside it.
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString content;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                if (sql.at(j) == close) {
                    if (close != QLatin1Char(']') && j + 1 < n && sql.at(j + 1) == close) {
                        content += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                content += sql.at(j);
            }
            i = j + 1;
            static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
            if (c == QLatin1Char('\''))
                tokens << QLatin1Char('\'') + content + QLatin1Char('\'');
            else if (plainName.match(content).hasMatch())
                tokens << asciiLower(content);
            else
                tokens << QLatin1Char('"') + asciiLower(content) + QLatin1Char('"');
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < n && isWordChar(sql.at(j)))
                ++j;
            tokens << asciiLower(sql.mid(i, j - i));
            i = j;
        } else {
            tokens << QString(c);
            ++i;
        }
    }
    return tokens.join(QLatin1Char(' '));
}

QString dropStatement(const StoredObject &object)
{
    QString name = object.name;
    name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("DROP %1 IF EXISTS \"%2\"").arg(object.type.toUpper(), name);
}

Plan plan(sqlite3 *db, const QString &path, int userVersion)
{
    const Objects &own = reference();
    const Objects file = readObjects(db);
    Plan plan;
    plan.version = contentVersion(file, userVersion);
    const QMap<QString, QString> remade = createdByUpgrade(plan.version);

    // The tables of its version: without them, or with something else under their names, the
    // file is no ledger the program can set right.
    for (const StoredObject &table : own) {
        if (table.type != QLatin1String("table") || table.name.startsWith(QLatin1String("sqlite_"))
            || remade.contains(asciiLower(table.name)))
            continue;
        const StoredObject found = file.value(asciiLower(table.name));
        if (found.type.isEmpty())
            throw ConnectionError(Reason::Damaged, path, QStringLiteral("В файле «%1» нет объекта %2.").arg(path, table.name));
        if (found.type != table.type)
            throw ConnectionError(Reason::Unsafe, path,
                                  QStringLiteral("В файле «%1» под именем таблицы %2 хранится не таблица.").arg(path, table.name));
    }

    // The program's triggers and views: those an upgrade makes anew go before it, quietly
    // (the file holds them as its version had them); the others must read as the program's.
    for (auto it = own.begin(); it != own.end(); ++it) {
        const StoredObject &mine = it.value();
        if (mine.type != QLatin1String("trigger") && mine.type != QLatin1String("view"))
            continue;
        const auto found = file.constFind(it.key());
        if (remade.contains(it.key())) {
            if (found != file.end())
                plan.drops << *found;
        } else if (found == file.end()) {
            plan.findings.missing << mine.name;
            plan.creates << mine.sql;
        } else if (found->type != mine.type || normalised(found->sql) != normalised(mine.sql)) {
            plan.findings.changed << found->name;
            plan.drops << *found;
            plan.creates << mine.sql;
        }
    }
    // Triggers and views of the file's own. Its own tables and indexes run nothing and stay.
    for (auto it = file.begin(); it != file.end(); ++it) {
        if ((it->type == QLatin1String("trigger") || it->type == QLatin1String("view")) && !own.contains(it.key())) {
            plan.findings.extra << it->name;
            plan.drops << *it;
        }
    }
    return plan;
}

} // namespace ledger::schemacheck
