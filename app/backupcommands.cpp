#include "backupcommands.h"

#include "busycursor.h"
#include "mainwindow.h"
#include "restoredialog.h"

#include "widgets/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace app {

BackupCommands::BackupCommands(MainWindow &window)
    : QObject(&window)
    , m_window(window)
    , m_folder(ledger::backup::Folder::standardPath())
{
    // One copy at a time: two would only share the disk.
    m_pool.setMaxThreadCount(1);
}

BackupCommands::~BackupCommands()
{
    m_pool.waitForDone();
}

void BackupCommands::takeDaily(const QString &ledgerPath)
{
    const QString key = QFileInfo(ledgerPath).absoluteFilePath() + QLatin1Char('|') + m_folder.today().toString(Qt::ISODate);
    if (m_reported.contains(key) || m_folder.hasDaily(ledgerPath))
        return;
    if (!m_status) {
        m_status = new QLabel(&m_window);
        m_status->setObjectName(QStringLiteral("BackupStatus"));
        m_window.statusBar()->addPermanentWidget(m_status);
    }
    m_status->setText(QStringLiteral("Резервное копирование базы данных..."));
    m_status->show();
    ++m_running;
    ledger::backup::Folder folder = m_folder;
    const std::function<void(int, int)> hook = m_stepHook;
    m_pool.start([this, folder, hook, ledgerPath, key]() mutable {
        QString error;
        try {
            folder.takeDaily(ledgerPath, [&hook](int done, int total) {
                if (hook)
                    hook(done, total);
                return true;
            });
        } catch (const ledger::backup::BackupError &failure) {
            error = failure.text();
        } catch (const std::exception &failure) {
            error = QString::fromLocal8Bit(failure.what());
        }
        QMetaObject::invokeMethod(this, [this, ledgerPath, key, error] { copyDone(ledgerPath, key, error); },
                                  Qt::QueuedConnection);
    });
}

void BackupCommands::copyDone(const QString &ledgerPath, const QString &key, const QString &error)
{
    --m_running;
    if (error.isEmpty()) {
        m_status->setText(QStringLiteral("Резервная копия базы данных сохранена"));
        QTimer::singleShot(5000, m_status, [this] {
            if (m_running == 0)
                m_status->hide();
        });
    } else {
        m_status->hide();
        if (!m_reported.contains(key)) {
            m_reported.insert(key);
            ui::warn(&m_window, QStringLiteral("Ежедневная резервная копия базы данных не сохранена.\n%1\n"
                                               "База данных не изменена и открыта как обычно.")
                                    .arg(ui::errorBoxText(error)));
        }
    }
    emit copyFinished(ledgerPath);
}

void BackupCommands::finishCopies()
{
    if (m_running == 0)
        return;
    m_pool.waitForDone();
    // The workers' reports wait in the event queue: they are taken now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
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

QString BackupCommands::restorableLedger() const
{
    ledger::Session &session = m_window.session();
    if (session.isOpen())
        return session.connection().path();
    return m_window.unopenedLedger();
}

void BackupCommands::restore()
{
    const QString ledgerPath = restorableLedger();
    if (ledgerPath.isEmpty())
        return;
    const bool wasOpen = m_window.session().isOpen();
    RestoreDialog dialog(ledgerPath, m_folder.list(ledgerPath), &m_window);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen())
        return;
    const ledger::backup::Copy copy = *dialog.chosen();
    const QString when = RestoreDialog::takenText(copy);
    QString question = QStringLiteral("Восстановить базу данных из копии от %1 (записей: %2)?\n"
                                      "Текущее состояние базы данных будет сохранено в отдельной копии, "
                                      "так что восстановление можно отменить.")
                           .arg(when)
                           .arg(copy.entries);
    // A copy named after the file name alone may be that of another ledger of this name.
    if (copy.owner != ledger::backup::Owner::This)
        question = QStringLiteral("Неизвестно, сделана ли копия «%1» с этой базы данных: она названа только по "
                                  "имени файла «%2» и может быть копией другой базы данных с тем же именем "
                                  "из другой папки.\n\n")
                       .arg(QFileInfo(copy.path).fileName(), QFileInfo(ledgerPath).fileName())
                   + question;
    if (!ui::askYesNo(&m_window, question))
        return;

    // The rate fetch writes into the open ledger while it waits: it must not be closed under it.
    if (m_window.rates().isUpdating())
        throw ledger::Error(QStringLiteral("Дождитесь окончания загрузки курсов валют и восстановите копию снова"));
    {
        BusyCursor busy;
        // The day's copy reads the ledger: it is finished before the ledger is replaced.
        finishCopies();
        // A ledger that could not be opened may not be readable by the engine: it is kept
        // byte for byte.
        m_folder.takeBefore(ledger::backup::Kind::BeforeRestore, ledgerPath, {}, !wasOpen);
        // No connection may hold the file while its pages are replaced.
        m_window.closeLedger();
        try {
            ledger::backup::restore(copy.path, ledgerPath);
        } catch (...) {
            // The ledger is as it was: it opens again, and the failure is reported.
            if (wasOpen)
                m_window.LoadDB(ledgerPath);
            throw;
        }
    }
    m_window.LoadDB(ledgerPath);
    if (m_window.session().isOpen())
        m_window.statusBar()->showMessage(QStringLiteral("База данных восстановлена из копии от %1").arg(when), 15000);
}

} // namespace app
