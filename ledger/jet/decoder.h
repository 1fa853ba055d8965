#pragma once

// The parent's half of the reading: turns the stream of wire.h into rows as it arrives.

#include "detail.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace jet::detail {

class Decoder
{
public:
    Decoder(const QString &path, unsigned long pageCount, Meter &meter);

    // Takes the next bytes of the stream, however it was cut into pieces.
    void feed(const char *data, qsizetype size);
    // After the stream ended; `childOk` is false when the reader died or was stopped.
    // Raises JetError unless every table arrived whole.
    Tables finish(bool childOk);

private:
    struct Cursor;

    // Each parses one whole record; false when it has not all arrived yet, or (with
    // m_finished set) when the stream is broken.
    bool parseOne();
    bool parseRecord(quint8 tag, Cursor &in);
    bool parseTotal(Cursor &in);
    bool parseBegin(Cursor &in);
    bool parseRowRecord(Cursor &in);
    bool parseFailure(Cursor &in);
    bool parseDone();

    // False with `in.ok` still true for a value that makes no sense.
    bool parseRow(Cursor &in, QVariantList &row);
    bool parseValue(Cursor &in, quint8 type, int column, QVariantList &row);

    bool broken();
    JetError failure(quint8 problem, quint8 table, quint8 column, quint32 a, quint32 b) const;

    QString m_path;
    unsigned long m_pageCount;
    Meter &m_meter;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    Tables m_tables;
    quint32 m_rowsDeclared = 0;
    bool m_done = false;
    bool m_finished = false;
    std::optional<JetError> m_failure;
};

} // namespace jet::detail
