#pragma once
// Little-endian byte cursors for the analysis files. The reader never reads
// past its end: every read checks the bytes remaining first and a failed read
// leaves the cursor where it was. The writer appends to a growing buffer.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace bc {

class ByteReader {
public:
    ByteReader(const char* data, qsizetype size) : data_(data), size_(size < 0 ? 0 : size) {}
    explicit ByteReader(const QByteArray& bytes) : ByteReader(bytes.constData(), bytes.size()) {}

    qsizetype pos() const { return pos_; }
    qsizetype remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }

    bool readU8(uint8_t& v);
    bool readU16(uint16_t& v);
    bool readU32(uint32_t& v);
    bool readI32(int32_t& v);
    bool readF32(float& v);
    bool readBytes(void* out, qsizetype n);
    bool skip(qsizetype n);

    // A string as the files hold it: an int32 length L counting a terminating
    // NUL, then L bytes of GBK text. The text ends at its first NUL. A length
    // below 1 or beyond the bytes remaining fails.
    bool readGbkString(QString& text);

private:
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
};

class ByteWriter {
public:
    explicit ByteWriter(QByteArray& out) : out_(out) {}

    void writeU8(uint8_t v);
    void writeU16(uint16_t v);
    void writeU32(uint32_t v);
    void writeI32(int32_t v) { writeU32(static_cast<uint32_t>(v)); }
    void writeF32(float v);
    void writeBytes(const void* data, qsizetype n);
    // GBK text with its length (bytes + 1) and a terminating NUL.
    void writeGbkString(const QString& text);

private:
    QByteArray& out_;
};

} // namespace bc
