#pragma once

#include "ledger/bookkeeping.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ledger {
class ConnectionError;
class Session;
} // namespace ledger

namespace dialogs {
class PasswordPrompt;
}

namespace app {

class BackupCommands;

// The file work of opening and creating a ledger: converting one of the earlier format,
// connecting, reading its header, asking its own password, and saying why a file could not
// be reached. What the program shows of a ledger once it is open is the main window's.
class LedgerOpener
{
public:
    // `noLedger` puts the program into its no-ledger state; it runs whenever an opening comes
    // to nothing, before any message about it.
    LedgerOpener(QWidget &window, ledger::Session &session, BackupCommands &backups, std::function<void()> noLedger);

    void setPasswordPrompt(dialogs::PasswordPrompt *prompt) { m_password = prompt; }

    // Attaches the ledger at `path` to the session and returns its header. Nothing when the
    // user declines the conversion, the file cannot be connected to (after the message) or
    // the password typed is wrong. A file that fails to read is closed again, and the error
    // raised.
    std::optional<ledger::LedgerHeader> attach(const QString &path, bool askPassword);
    // The ledger of the last attach when it could not be connected to or read (a restore
    // may bring it back); empty otherwise.
    const QString &failedPath() const { return m_failed; }
    // Writes a new ledger file with its header. A file that exists is not overwritten.
    static void create(const QString &path, const QString &description, const QString &password);

private:
    // Offers to bring a ledger of the earlier (Jet 4.0) format over; true when it was
    // converted and may now be opened.
    bool convertEarlierFormat(const QString &path);
    void showConnectionMessage(const QString &path, const ledger::ConnectionError &error);

    QWidget &m_window;
    ledger::Session &m_session;
    BackupCommands &m_backups;
    std::function<void()> m_noLedger;
    dialogs::PasswordPrompt *m_password = nullptr;
    QString m_failed;
};

} // namespace app
