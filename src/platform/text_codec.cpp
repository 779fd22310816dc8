#include "platform/text_codec.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

#include <QList>

#include <mutex>
#include <unordered_set>

namespace bc {

namespace {

// iconv descriptors carry conversion state, so each direction has its own and
// is used under a lock (file loading may run off the user-interface thread).
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can of [in, in + inLeft) into `out`. Returns
    // false on an input it cannot convert (errno EILSEQ/EINVAL), leaving
    // `in`/`inLeft` at the offending input.
    bool convert(const char*& in, size_t& inLeft, QByteArray& out)
    {
        char buffer[1024];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            const size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            in = inPtr;
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
            if (r == static_cast<size_t>(-1) && err != E2BIG) {
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

    std::mutex mutex;

private:
    iconv_t cd_;
};

Converter& encoder()
{
    static Converter c("GBK", "UTF-32LE");
    return c;
}

Converter& decoder()
{
    static Converter c("UTF-32LE", "GBK");
    return c;
}

} // namespace

namespace {

// GBK bytes of `text`, '?' for each character GBK has no code for; those
// characters are added to `unfit` (when given) as they are met.
QByteArray encodeGbk(const QString& text, QList<char32_t>* unfit)
{
    const QList<uint> ucs = text.toUcs4();
    QByteArray out;
    out.reserve(text.size() * 2);
    Converter& c = encoder();
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!c.valid()) {
        for (uint u : ucs) {
            out.append(u < 0x80 ? static_cast<char>(u) : '?');
            if (u >= 0x80 && unfit)
                unfit->append(char32_t(u));
        }
        return out;
    }
    const char* in = reinterpret_cast<const char*>(ucs.constData());
    size_t left = static_cast<size_t>(ucs.size()) * 4;
    while (left > 0) {
        if (c.convert(in, left, out))
            break;
        // One character GBK has no code for: '?' in its place, go on after it.
        out.append('?');
        const size_t skip = left < 4 ? left : 4;
        if (unfit && skip == 4) {
            uint u = 0;
            std::memcpy(&u, in, 4);
            unfit->append(char32_t(u));
        }
        in += skip;
        left -= skip;
    }
    return out;
}

} // namespace

QByteArray toGbk(const QString& text)
{
    return encodeGbk(text, nullptr);
}

QString charsNotInGbk(const QString& text)
{
    QList<char32_t> unfit;
    encodeGbk(text, &unfit);
    QList<char32_t> once;
    std::unordered_set<char32_t> seen;
    for (char32_t u : unfit)
        if (seen.insert(u).second)
            once.append(u);
    return QString::fromUcs4(once.constData(), once.size());
}

QString fromGbk(const char* data, qsizetype size)
{
    if (size <= 0)
        return QString();
    QByteArray utf32;
    utf32.reserve(size * 4);
    Converter& c = decoder();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        const char* in = data;
        size_t left = static_cast<size_t>(size);
        while (left > 0 && c.valid()) {
            if (c.convert(in, left, utf32))
                break;
            const char32_t bad = 0xFFFD;
            utf32.append(reinterpret_cast<const char*>(&bad), 4);
            ++in;
            --left;
        }
        if (!c.valid())
            return QString::fromLatin1(data, size);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(utf32.constData()),
                             utf32.size() / 4);
}

QString fromGbk(const QByteArray& bytes)
{
    return fromGbk(bytes.constData(), bytes.size());
}

} // namespace bc
