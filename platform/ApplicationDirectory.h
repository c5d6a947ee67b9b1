#pragma once

#include <QString>

// Where the viewer keeps its files: the default workbook, the settings file and the private
// copies of the workbook.
//
// A copy of the programs that the user can write beside (unpacked somewhere of their own, the
// build tree) keeps its files in its own directory. An installed copy, whose directory only
// the system may change, keeps them in the user's data directory for the viewer instead:
// "$XDG_DATA_HOME/Orvandel/", by default "~/.local/share/Orvandel/". Nothing under /usr is
// ever written at run time, not even by root, who may write anywhere.
namespace ApplicationDirectory {

// The directory, ending in "/", for programs in `executableDir` (ending in "/"; empty for the
// current directory), given the values of XDG_DATA_HOME and HOME. A relative or empty
// XDG_DATA_HOME counts as unset. The user's directory is created when it is missing, with
// its missing parents, readable by the user only (mode 0700); a failure to create it is not
// reported here: the files in it then fail to be created, with the error that says why.
QString resolve(const QString &executableDir, const QString &dataHome, const QString &home);

// The same with XDG_DATA_HOME and HOME of this process; without HOME, the home directory
// the user database gives.
QString resolve(const QString &executableDir);

// Whether this process may create files in `directory` (ending in "/"; empty for the current
// directory), judged with its effective ids.
bool canCreateFilesIn(const QString &directory);

} // namespace ApplicationDirectory
