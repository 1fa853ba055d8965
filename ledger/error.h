#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace ledger {

// Every failure the program reports is one of these; the slot guard shows its text in the
// standard error box.
class Error : public std::exception
{
public:
    explicit Error(QString text);
    const QString &text() const noexcept { return m_text; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// A text that is not a number or not a date.
class ConversionError : public Error
{
public:
    using Error::Error;
};

// An arithmetic result outside what the program can hold or compute.
class ArithmeticError : public Error
{
public:
    using Error::Error;
};

// The database engine refused a statement, or a value is not fit for its column.
class DatabaseError : public Error
{
public:
    using Error::Error;
};

// A ledger file could not be opened (or created) at all.
class ConnectionError : public Error
{
public:
    // Unsafe: the file holds what the program does not run (a view under a table's name, a
    // read that does not end); the text says what.
    enum class Reason { Missing, NotLedger, Damaged, Locked, NoPermission, TooNew, NoBackup, Unsafe };

    ConnectionError(Reason reason, QString path, QString detail);
    Reason reason() const noexcept { return m_reason; }
    const QString &path() const noexcept { return m_path; }

private:
    Reason m_reason;
    QString m_path;
};

} // namespace ledger
