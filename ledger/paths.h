#pragma once

#include <QString>

// Where ledgers live by default, and how ledger paths are held relative to that folder.
namespace ledger::paths {

// The application folder, with a trailing separator: on Windows the executable's folder,
// elsewhere the per-user data folder (~/.local/share/Tovrak/velTor/), created when missing.
QString applicationFolder();
// A relative path is taken relative to the application folder.
QString complete(const QString &path);
// Removes every occurrence of the application folder's text, so that a ledger inside it is
// written as a bare file name.
QString stripApplicationFolder(const QString &path);

} // namespace ledger::paths
