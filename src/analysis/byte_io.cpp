#include "analysis/byte_io.h"

#include "platform/text_codec.h"

#include <cstring>

namespace bc {

bool ByteReader::readBytes(void* out, qsizetype n)
{
    if (n < 0 || n > remaining())
        return false;
    if (n > 0)
        std::memcpy(out, data_ + pos_, static_cast<size_t>(n));
    pos_ += n;
    return true;
}

bool ByteReader::skip(qsizetype n)
{
    if (n < 0 || n > remaining())
        return false;
    pos_ += n;
    return true;
}

bool ByteReader::readU8(uint8_t& v)
{
    return readBytes(&v, 1);
}

bool ByteReader::readU16(uint16_t& v)
{
    unsigned char b[2];
    if (!readBytes(b, 2))
        return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ByteReader::readU32(uint32_t& v)
{
    unsigned char b[4];
    if (!readBytes(b, 4))
        return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool ByteReader::readI32(int32_t& v)
{
    uint32_t u = 0;
    if (!readU32(u))
        return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool ByteReader::readF32(float& v)
{
    uint32_t u = 0;
    if (!readU32(u))
        return false;
    std::memcpy(&v, &u, 4);
    return true;
}

bool ByteReader::readGbkString(QString& text)
{
    const qsizetype start = pos_;
    int32_t length = 0;
    if (!readI32(length))
        return false;
    if (length < 1 || length > remaining()) {
        pos_ = start;
        return false;
    }
    const char* bytes = data_ + pos_;
    const void* nul = std::memchr(bytes, 0, static_cast<size_t>(length));
    const qsizetype textLength = nul ? static_cast<const char*>(nul) - bytes : length;
    text = fromGbk(bytes, textLength);
    pos_ += length;
    return true;
}

void ByteWriter::writeU8(uint8_t v)
{
    out_.append(static_cast<char>(v));
}

void ByteWriter::writeU16(uint16_t v)
{
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out_.append(b, 2);
}

void ByteWriter::writeU32(uint32_t v)
{
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    out_.append(b, 4);
}

void ByteWriter::writeF32(float v)
{
    uint32_t u = 0;
    std::memcpy(&u, &v, 4);
    writeU32(u);
}

void ByteWriter::writeBytes(const void* data, qsizetype n)
{
    if (n > 0)
        out_.append(static_cast<const char*>(data), n);
}

void ByteWriter::writeGbkString(const QString& text)
{
    const QByteArray bytes = toGbk(text);
    writeI32(static_cast<int32_t>(bytes.size() + 1));
    out_.append(bytes);
    out_.append('\0');
}

} // namespace bc
