#include "backupcommands.h"

#include "busycursor.h"
#include "mainwindow.h"
#include "restoredialog.h"

#include "widgets/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

namespace app {

BackupCommands::BackupCommands(MainWindow &window)
    : QObject(&window)
    , m_window(window)
    , m_folder(ledger::backup::Folder::standardPath())
{
}

void BackupCommands::takeDaily(const QString &ledgerPath)
{
    const QString key = QFileInfo(ledgerPath).absoluteFilePath() + QLatin1Char('|') + m_folder.today().toString(Qt::ISODate);
    if (m_reported.contains(key))
        return;
    try {
        BusyCursor busy;
        m_window.statusBar()->showMessage(QStringLiteral("Резервное копирование базы данных..."));
        m_folder.takeDaily(ledgerPath);
    } catch (const ledger::backup::BackupError &error) {
        m_reported.insert(key);
        ui::warn(&m_window, QStringLiteral("Ежедневная резервная копия базы данных не сохранена.\n%1\n"
                                           "База данных не изменена и открыта как обычно.")
                                .arg(ui::errorBoxText(error.text())));
    }
}

bool BackupCommands::keepBeforeConversion(const QString &ledgerPath)
{
    try {
        m_folder.takeBefore(ledger::backup::Kind::BeforeConversion, ledgerPath);
        return true;
    } catch (const ledger::backup::BackupError &error) {
        ui::showError(&m_window, QStringLiteral("Файл не преобразован: %1").arg(error.text()));
        return false;
    }
}

void BackupCommands::restore()
{
    ledger::Session &session = m_window.session();
    if (!session.isOpen())
        return;
    const QString ledgerPath = session.connection().path();
    RestoreDialog dialog(ledgerPath, m_folder.list(ledgerPath), &m_window);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen())
        return;
    const ledger::backup::Copy copy = *dialog.chosen();
    const QString when = RestoreDialog::takenText(copy);
    if (!ui::askYesNo(&m_window, QStringLiteral("Восстановить базу данных из копии от %1 (записей: %2)?\n"
                                                "Текущее состояние базы данных будет сохранено в отдельной копии, "
                                                "так что восстановление можно отменить.")
                                     .arg(when)
                                     .arg(copy.entries)))
        return;

    // The rate fetch writes into the open ledger while it waits: it must not be closed under it.
    if (m_window.rates().isUpdating())
        throw ledger::Error(QStringLiteral("Дождитесь окончания загрузки курсов валют и восстановите копию снова"));
    {
        BusyCursor busy;
        m_folder.takeBefore(ledger::backup::Kind::BeforeRestore, ledgerPath);
        // No connection may hold the file while its pages are replaced.
        m_window.closeLedger();
        try {
            ledger::backup::restore(copy.path, ledgerPath);
        } catch (...) {
            // The ledger is as it was: it opens again, and the failure is reported.
            m_window.LoadDB(ledgerPath);
            throw;
        }
    }
    m_window.LoadDB(ledgerPath);
    if (m_window.session().isOpen())
        m_window.statusBar()->showMessage(QStringLiteral("База данных восстановлена из копии от %1").arg(when), 15000);
}

} // namespace app
