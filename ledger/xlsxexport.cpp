#include "xlsxexport.h"

#include "database.h"
#include "schema.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace ledger::xlsx {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return qint64(era) * 146097 + doe - 719468;
}

int digits(QByteArrayView text, qsizetype from, qsizetype count, bool *ok)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            *ok = false;
            return 0;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "2026-12-09" (or with a time of day after it) as the spreadsheet's day number, counted from
// 1899-12-30; a date before 1900 has none there.
bool dayNumber(QByteArrayView iso, double *number)
{
    bool ok = iso.size() >= 10 && iso[4] == '-' && iso[7] == '-';
    const int y = digits(iso, 0, 4, &ok);
    const int m = digits(iso, 5, 2, &ok);
    const int d = digits(iso, 8, 2, &ok);
    if (!ok || y < 1900 || m < 1 || m > 12 || d < 1 || d > 31 || (y == 1900 && m < 3))
        return false;
    *number = double(daysFromCivil(y, m, d) - daysFromCivil(1899, 12, 30));
    return true;
}

// "09:05:03" or "9:05:03" as a fraction of the day.
bool dayFraction(QByteArrayView text, double *fraction)
{
    const qsizetype colon = text.indexOf(':');
    if (colon < 1 || colon > 2 || text.size() != colon + 6 || text[colon + 3] != ':')
        return false;
    bool ok = true;
    const int h = digits(text, 0, colon, &ok);
    const int m = digits(text, colon + 1, 2, &ok);
    const int s = digits(text, colon + 4, 2, &ok);
    if (!ok || h > 23 || m > 59 || s > 59)
        return false;
    *fraction = (h * 3600 + m * 60 + s) / 86400.0;
    return true;
}

// Puts a complete file in the place of `target`, replacing a file there.
bool replaceWith(const QString &from, const QString &target)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(target).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(target).constData()) == 0;
#endif
}

class XlsxWriter : public exporting::FileWriter
{
public:
    XlsxWriter(const QString &target, qint64 rowsPerSheet)
        : m_target(target)
        , m_rowsPerSheet(rowsPerSheet)
        , m_temporary(target + QStringLiteral(".XXXXXX"))
    {
    }
    ~XlsxWriter() override { close(); }

    void begin(const QStringList &titles, const QList<schema::ColumnKind> &kinds) override
    {
        // The name is taken here and the library writes the file under it; the library's own
        // scratch files go to the same folder, so that its disk is the one that must hold them.
        if (!m_temporary.open())
            fail(m_temporary.error() == QFileDevice::ResourceError, m_temporary.errorString());
        m_temporary.close();
        m_temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                   | QFileDevice::ReadOther);
        m_scratchFolder = QFile::encodeName(QFileInfo(m_target).absolutePath()).toStdString();
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_scratchFolder.data();
        options.use_zip64 = LXW_TRUE;
        const QByteArray name = QFile::encodeName(m_temporary.fileName());
        m_book = workbook_new_opt(name.constData(), &options);
        if (!m_book)
            fail(false, QStringLiteral("не удалось начать книгу"));
        m_titles = titles;
        m_kinds = kinds;
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        m_money = workbook_add_format(m_book);
        format_set_num_format(m_money, "#,##0.00");
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, "dd.mm.yyyy");
        m_time = workbook_add_format(m_book);
        format_set_num_format(m_time, "h:mm:ss");
        newSheet();
    }

    void row(const StoredRow &row) override
    {
        if (m_row > m_rowsPerSheet)
            newSheet();
        for (int c = 0; c < m_kinds.size(); ++c) {
            if (row.isNull(c))
                continue;
            const auto column = lxw_col_t(c);
            double number = 0;
            switch (m_kinds[c]) {
            case schema::ColumnKind::Money:
                check(worksheet_write_number(m_sheet, m_row, column, double(row.integer(c)) / 10000.0, m_money));
                continue;
            case schema::ColumnKind::Date:
                if (dayNumber(row.text(c), &number)) {
                    check(worksheet_write_number(m_sheet, m_row, column, number, m_date));
                    continue;
                }
                break;
            case schema::ColumnKind::Time:
                if (dayFraction(row.text(c), &number)) {
                    check(worksheet_write_number(m_sheet, m_row, column, number, m_time));
                    continue;
                }
                break;
            case schema::ColumnKind::Plain:
                break;
            }
            writeText(column, row.text(c), nullptr);
        }
        ++m_row;
    }

    void commit() override
    {
        errno = 0;
        const lxw_error closed = workbook_close(m_book);
        const int error = errno;
        m_book = nullptr;
        if (closed != LXW_NO_ERROR) {
            const bool noRoom = exporting::isNoRoom(error)
                || QStorageInfo(QFileInfo(m_target).absolutePath()).bytesAvailable() < (1 << 20);
            fail(noRoom, QString::fromUtf8(lxw_strerror(closed)));
        }
        if (!replaceWith(m_temporary.fileName(), m_target))
            fail(false, QStringLiteral("не удалось заменить файл"));
        m_temporary.setAutoRemove(false);
    }

    void abandon() override { close(); }

private:
    void close()
    {
        if (m_book) {
            // Freed without writing: a cancelled export does not pack what it has.
            lxw_workbook_free(m_book);
            m_book = nullptr;
        }
        if (m_temporary.autoRemove())
            m_temporary.remove();
    }

    [[noreturn]] void fail(bool noRoom, const QString &why) const
    {
        throw Error(exporting::failure(m_target, noRoom, why));
    }

    void check(lxw_error error) const
    {
        if (error != LXW_NO_ERROR)
            fail(false, QString::fromUtf8(lxw_strerror(error)));
    }

    void writeText(lxw_col_t column, QByteArrayView text, lxw_format *format)
    {
        if (text.isEmpty())
            return;
        m_text.assign(text.data(), size_t(text.size()));
        check(worksheet_write_string(m_sheet, m_row, column, m_text.c_str(), format));
    }

    void newSheet()
    {
        ++m_sheets;
        const QByteArray name = QStringLiteral("Лист%1").arg(m_sheets).toUtf8();
        m_sheet = workbook_add_worksheet(m_book, name.constData());
        if (!m_sheet)
            fail(false, QStringLiteral("не удалось добавить лист"));
        for (int c = 0; c < m_kinds.size(); ++c) {
            const double width = m_kinds[c] == schema::ColumnKind::Plain ? 30 : m_kinds[c] == schema::ColumnKind::Money ? 15 : 11;
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, nullptr);
        }
        m_row = 0;
        for (int c = 0; c < m_titles.size(); ++c)
            writeText(lxw_col_t(c), m_titles[c].toUtf8(), m_bold);
        m_row = 1;
    }

    QString m_target;
    qint64 m_rowsPerSheet;
    QTemporaryFile m_temporary;
    std::string m_scratchFolder;
    QStringList m_titles;
    QList<schema::ColumnKind> m_kinds;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_bold = nullptr;
    lxw_format *m_money = nullptr;
    lxw_format *m_date = nullptr;
    lxw_format *m_time = nullptr;
    lxw_row_t m_row = 0;
    int m_sheets = 0;
    std::string m_text;
};

} // namespace

qint64 exportView(const Connection &connection, const QString &source, const QList<exporting::Column> &columns,
                  const QString &target, const exporting::Progress &progress, qint64 rowsPerSheet)
{
    XlsxWriter writer(target, rowsPerSheet);
    return exporting::walk(connection, source, columns, writer, progress);
}

} // namespace ledger::xlsx
