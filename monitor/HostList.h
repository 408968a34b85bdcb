#pragma once

#include "monitor/cINI.h"

#include <QString>
#include <QStringList>

// The host list file: section "HOST", keys "1", "2", … consecutive from 1, one host as typed per key. The list ends
// at the first missing or empty key.
namespace HostList {

inline constexpr const char* FileName = "hosts.ini";
inline constexpr const char* Section = "HOST";

// Used when the program starts without a host list. Tests never probe them.
QStringList defaultHosts();

// Reads the list from `ini`'s file, creating the file with the default hosts first when it does not exist.
// `created`, when given, tells whether that happened.
QStringList load(cINI& ini, bool* created = nullptr);

// Rewrites the section with `hosts` as keys 1, 2, … (empty entries are skipped, so the keys stay consecutive).
// Does nothing when the file does not exist, as the list was then never loaded from it.
bool save(cINI& ini, const QStringList& hosts);

} // namespace HostList
