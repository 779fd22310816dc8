#include "platform/gbk_cut.h"

#include "platform/text_codec.h"

namespace bc {

QString cutToGbkBytes(const QString& text, int maxBytes)
{
    if (maxBytes <= 0)
        return QString();
    if (toGbk(text).size() <= maxBytes)
        return text;
    // GBK is stateless: the encoding of a prefix is the sum of the encodings
    // of its characters, so the characters are measured one by one.
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        qsizetype next = end + 1;
        if (text[end].isHighSurrogate() && next < text.size() && text[next].isLowSurrogate())
            ++next;
        const qsizetype bytes = toGbk(text.mid(end, next - end)).size();
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        end = next;
    }
    return text.left(end);
}

} // namespace bc
