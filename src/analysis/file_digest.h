#pragma once
// Digests by which a save tells whether a file it is about to replace still
// holds what the program last read from it or wrote to it.

#include <QByteArray>
#include <QString>

namespace bc {

QByteArray BytesDigest(const QByteArray& bytes);
// The same of a file's bytes, read a piece at a time; empty when the file
// cannot be read.
QByteArray FileDigest(const QString& path);

} // namespace bc
