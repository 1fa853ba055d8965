#include "ledgeropener.h"

#include "backupcommands.h"
#include "busycursor.h"

#include "widgets/dialogs.h"
#include "widgets/messages.h"
#include "ledger/database.h"
#include "dialogs/passwordprompt.h"
#include "ledger/error.h"
#include "ledger/jet/jet.h"
#include "ledger/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

namespace app {

LedgerOpener::LedgerOpener(QWidget &window, ledger::Session &session, BackupCommands &backups,
                           std::function<void()> noLedger)
    : m_window(window)
    , m_session(session)
    , m_backups(backups)
    , m_noLedger(std::move(noLedger))
{
}

std::optional<ledger::LedgerHeader> LedgerOpener::attach(const QString &path, bool askPassword)
{
    m_failed.clear();
    // A ledger of the earlier format is converted first, when the user agrees.
    if (jet::isJetFile(path) && !convertEarlierFormat(path)) {
        m_noLedger();
        return std::nullopt;
    }

    std::unique_ptr<ledger::Connection> connection;
    try {
        connection = ledger::Connection::open(path);
    } catch (const ledger::ConnectionError &error) {
        m_failed = path;
        m_noLedger();
        showConnectionMessage(path, error);
        return std::nullopt;
    }
    // Triggers and views not of the program's making were set back before anything ran: the
    // user is told once what was found.
    if (!connection->repaired().isClean()) {
        ui::warn(&m_window, QStringLiteral("В базе данных «%1» найдены объекты SQL не из программы velTor:\n%2\n\n"
                                           "Прежде чем что-либо записать, программа удалила их и восстановила свои. "
                                           "Копия базы данных до исправления: «%3».")
                                .arg(path, connection->repaired().text(),
                                     QDir::toNativeSeparators(connection->repairCopy())));
    }
    // A file whose journal or header cannot be read is no usable ledger: it is closed again,
    // and the error is reported.
    ledger::LedgerHeader header;
    try {
        m_session.attach(std::move(connection));
        header = ledger::readHeader(m_session.connection());
    } catch (...) {
        m_failed = path;
        m_noLedger();
        throw;
    }

    // A refused ledger is closed again at once, so that no command can reach it.
    if (askPassword && !header.password.isEmpty() && m_password->ask(header.password) != header.password) {
        m_noLedger();
        return std::nullopt;
    }
    return header;
}

void LedgerOpener::create(const QString &path, const QString &description, const QString &password)
{
    if (QFileInfo::exists(path)) {
        throw ledger::Error(QStringLiteral("Файл «%1» уже существует. Выберите другое имя файла базы данных.")
                                .arg(QDir::toNativeSeparators(path)));
    }
    ledger::Connection::create(path);
    // The header goes in before the ledger opens: nothing that fails while it opens (the
    // day's rates, say) may cost the user the password and description just typed. A file
    // that cannot take them is no new ledger and goes again, so that OK can be tried anew.
    try {
        ledger::writeHeader(*ledger::Connection::open(path), description, password);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void LedgerOpener::showConnectionMessage(const QString &path, const ledger::ConnectionError &error)
{
    using Reason = ledger::ConnectionError::Reason;
    QStringList lines = {QStringLiteral("Программе не удалось подключиться к базе данных:"), path, QString()};
    switch (error.reason()) {
    case Reason::Locked:
        lines << QStringLiteral("Файл базы данных занят другой программой. Закройте её и откройте базу данных снова.");
        break;
    case Reason::NoPermission:
        lines << QStringLiteral("Нет прав на чтение и запись файла базы данных.");
        break;
    case Reason::TooNew:
        lines << QStringLiteral("Файл создан более новой версией velTor.");
        break;
    case Reason::NoBackup:
    case Reason::Unsafe:
        lines << error.text();
        break;
    default:
        lines << QStringLiteral("Возможные причины неисправности:")
              << QStringLiteral("1) Испорчен или отсутсвует файл базы данных.")
              << QStringLiteral("2) Файл не является базой данных velTor или повреждён.");
        break;
    }
    ui::warn(&m_window, lines.join(QLatin1Char('\n')));
}

bool LedgerOpener::convertEarlierFormat(const QString &path)
{
    const QString backup = QFileInfo(jet::backupPath(path)).fileName();
    if (!ui::askYesNo(&m_window, QStringLiteral("Файл «%1» сохранён в прежнем формате. Преобразовать его в новый формат? "
                                                "Прежний файл останется рядом под именем «%2».")
                                     .arg(path, backup)))
        return false;
    // The earlier file is kept in the backups folder too, before anything is converted.
    if (!m_backups.keepBeforeConversion(path))
        return false;

    // A large file takes a while: a progress dialog with a cancel button then shows.
    QProgressDialog progress(QStringLiteral("Преобразование базы данных..."), QStringLiteral("Отмена"), 0, 0, &m_window);
    ui::setUpProgress(progress, QStringLiteral("ConversionProgress"), 500);
    jet::ConversionResult result;
    try {
        BusyCursor busy;
        result = jet::convert(path, [&progress](int done, int total) {
            if (total > 0) {
                progress.setMaximum(total);
                progress.setValue(qMin(done, total));
            }
            return !progress.wasCanceled();
        });
    } catch (const jet::Cancelled &) {
        return false;
    }
    progress.close();
    QString text = QStringLiteral("Файл «%1» преобразован в новый формат. Прежний файл сохранён под именем «%2».")
                       .arg(path, QFileInfo(result.backupPath).fileName());
    if (result.droppedLines > 0)
        text += QStringLiteral("\nСтрок расхода, не относящихся ни к одной записи журнала, не перенесено: %1.")
                    .arg(result.droppedLines);
    ui::inform(&m_window, text);
    return true;
}

} // namespace app
