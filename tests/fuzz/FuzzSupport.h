#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: libFuzzer sees the abort as a crash and keeps the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace FuzzSupport {

// Dates are read and written in the desktop's general date form, so the locale is pinned: the same input must mean
// the same thing on every machine, and the seed corpora are written in the US form. Qt reads the variables when
// the system locale is first used, hence before the application exists.
inline void startApplication()
{
    static int argc = 1;
    static char name[] = "tavrik_fuzz";
    static char* argv[] = {name, nullptr};
    qunsetenv("LC_ALL");
    qputenv("LC_TIME", "en_US.UTF-8");
    static QCoreApplication app(argc, argv);
}

// One folder per process for the files a target writes; parallel jobs each get their own.
inline const QString& scratchFolder()
{
    static QTemporaryDir dir;
    static const QString path = dir.path();
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder: %s\n", qPrintable(dir.errorString()));
        std::abort();
    }
    return path;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        std::abort();
    }
}

inline QByteArray bytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace FuzzSupport
