#pragma once

#include <QString>

// The folder that holds hosts.ini, country.txt, the logs and the Analyze work folder.
//
// TAVRIK_HOME wins when set. Otherwise the executable's own folder when the user may write there and it is not a
// system location (a build tree); otherwise $XDG_DATA_HOME/Tavrik, created on first use.
QString programFolder();

// The same rule for a given executable folder, so it can be tested without moving binaries around.
QString programFolderFor(const QString& executableFolder);

// programFolder() joined with a file name.
QString programFile(const QString& fileName);
