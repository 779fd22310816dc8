#pragma once
// Whole-file reads and writes for tests that look at or forge a file's bytes.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace bc::test {

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace bc::test
