#pragma once
// GBK <-> Unicode at the file boundary. Inside the program every text is a
// QString; the ".sfa" file and the shape records hold GBK bytes.

#include <QByteArray>
#include <QString>

namespace bc {

// Encodes `text` as GBK. A character that GBK cannot hold becomes '?'.
QByteArray toGbk(const QString& text);
// The characters of `text` that toGbk writes as '?', each once, in the order
// they first appear; empty when GBK holds the whole text.
QString charsNotInGbk(const QString& text);

// Decodes GBK bytes. A byte sequence that is not valid GBK becomes U+FFFD for
// each offending byte; decoding never fails.
QString fromGbk(const QByteArray& bytes);
QString fromGbk(const char* data, qsizetype size);

} // namespace bc
