#pragma once

#include <QString>
#include <QStringList>

// Name lookups of a test program answered from a table. The program's getaddrinfo is replaced, so no lookup made
// by a test leaves the machine, names resolve the same everywhere, and tests can see which names were looked up.
// Dotted addresses are answered as the system answers them; every other name not in the table is unknown.
namespace OfflineNames {

void add(const QString& name, const QString& dottedAddress);
// The lookup of `name` takes this long. Lookups run on a worker thread while the caller waits with events running,
// so a slow one gives the test's events a chance to run in the middle of a blocking call.
void setDelayMs(const QString& name, int ms);
QStringList lookups(); // every name looked up since the last clear, in order
void clearLookups();

} // namespace OfflineNames
