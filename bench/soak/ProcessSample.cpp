#include "ProcessSample.h"

#include <QDir>
#include <QFile>

ProcessSample ProcessSample::of(pid_t pid)
{
    ProcessSample sample;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return sample;
    // /proc files report a size of 0, so the whole file is read until its end rather than by its size.
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            sample.rssMb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0; // the line gives kB
            sample.valid = true;
        }
    }
    // Sampling this process itself counts the descriptors of the status file and of the listing too; both ends of a
    // measurement take them the same way, so they cancel out.
    sample.fds = int(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                         .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                         .size());
    return sample;
}
