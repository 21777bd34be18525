#pragma once

// Whole files read and written in one call.

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes, or none when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Replaces the file's bytes; false when it cannot be written.
inline bool writeFile(const QString& path, const QByteArray& bytes = {})
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
