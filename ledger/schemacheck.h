#pragma once

#include "database.h"

#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

// The opening's check of a file's own SQL against the program's: what the file's catalog
// holds, read with the engine alone, compared with a ledger the program builds in memory.
namespace ledger::schemacheck {

struct StoredObject
{
    QString type; // table, index, trigger, view
    QString name;
    QString sql;
};

// What the file holds, and what setting the program's objects back takes.
struct Plan
{
    SchemaFindings findings;
    // The version the file's content is at: its own, or for a version of 0 or below (which
    // no program writes) the last one whose tables and indexes it holds.
    int version = 0;
    // Dropped before anything else is written: foreign and changed triggers and views, and
    // those an upgrade makes anew.
    QList<StoredObject> drops;
    // The program's statements for the changed and missing objects, run after an upgrade.
    QStringList creates;
};

// Reads the catalog of an open file and plans its repair. Raises ConnectionError for a file
// that lacks a table of its version or holds something else under a table's name, and
// DatabaseError when the catalog cannot be read.
Plan plan(sqlite3 *db, const QString &path, int userVersion);

// The statement that drops a stored object.
QString dropStatement(const StoredObject &object);

// SQL text reduced to its tokens: comments and the spacing between tokens go, words and
// identifiers (quoted or not) lose the case of their ASCII letters, literals stay as written.
// Two texts the engine reads alike but for layout compare equal.
QString normalised(const QString &sql);

} // namespace ledger::schemacheck
