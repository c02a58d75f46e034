#pragma once
// What every fuzz target needs: a failed invariant ends the run, and whole files read and written.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdlib>

namespace kestrix::fuzz {

// A broken invariant: libFuzzer keeps the input that caused it.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

} // namespace kestrix::fuzz
