#include "analysis/sfa_format.h"

#include "analysis/byte_io.h"
#include "core/c_number.h"
#include "core/jpeg_file.h"
#include "platform/text_codec.h"

#include <QBuffer>

namespace bc {

namespace {

// The smallest shape record: type, pen (3 words), four empty strings and a
// polyline count.
constexpr qsizetype kMinShapeRecord = 4 + 12 + 4 * 5 + 4;

bool lowerEquals(char c, char lower)
{
    return c == lower || c == lower - ('a' - 'A');
}

} // namespace

QString JoinInclinationField(const QString& inclination, float dipDirection)
{
    return inclination + u',' + QString::number(truncToInt(dipDirection));
}

void SplitInclinationField(const QString& field, QString& inclination, float& dipDirection)
{
    // The number written after the text holds no comma, so the last comma
    // separates them even when the inclination text has commas of its own.
    const qsizetype comma = field.lastIndexOf(u',');
    if (comma < 0) {
        inclination = field;
        dipDirection = 0.0f;
        return;
    }
    inclination = field.left(comma);
    dipDirection = static_cast<float>(leadingInt(field.mid(comma + 1)));
}

SfaParse ParseSfa(const QByteArray& bytes, SfaContent& out, QString* detail)
{
    auto fail = [detail](const QString& why) {
        if (detail)
            *detail = why;
        return SfaParse::Damaged;
    };

    ByteReader in(bytes);
    // Fields that the file does not carry (all of the test header in version
    // 0) keep the values they had.
    SfaContent content;
    content.header = out.header;
    SfaHeader& h = content.header;
    char magic[4];
    if (!in.readBytes(magic, 4) || !lowerEquals(magic[0], 's') || !lowerEquals(magic[1], 'f') ||
        !lowerEquals(magic[2], 'a') || magic[3] != '\0') {
        if (detail)
            *detail = QStringLiteral("不是SFA文件");
        return SfaParse::NotSfa;
    }
    std::copy(magic, magic + 4, h.magic.begin());
    if (!in.readU8(h.version))
        return fail(QStringLiteral("文件头不完整"));

    int32_t itemCount = 0;
    int32_t shapeCount = 0;
    if (h.version == 0) {
        if (!in.readI32(h.startDepth) || !in.readI32(h.samplingStep) ||
            !in.readI32(h.openingDiameter) || !in.readU8(h.moveDirection) ||
            !in.readI32(itemCount) || !in.readBytes(h.reserved.data(), 10))
            return fail(QStringLiteral("文件头不完整"));
    } else if (h.version == 1) {
        if (!in.readI32(h.startDepth) || !in.readI32(h.samplingStep) ||
            !in.readU8(h.moveDirection) || !in.readI32(itemCount) || !in.readI32(shapeCount) ||
            !in.readI32(h.holeType) || !in.readI32(h.openingDiameter) ||
            !in.readI32(h.finalDiameter))
            return fail(QStringLiteral("文件头不完整"));
        QString inclinationField;
        QString* strings[] = {
            &h.elevation, &h.holeNumber, &inclinationField, &h.collarCoordinates, &h.testingUnit,
            &h.tester,    &h.site,       &h.testTime,       &h.waterLevel};
        for (QString* s : strings)
            if (!in.readGbkString(*s))
                return fail(QStringLiteral("测试参数的文字长度错误"));
        SplitInclinationField(inclinationField, h.holeInclination, h.inclinedHoleDipDirection);
    } else {
        if (detail)
            *detail = QStringLiteral("不支持的SFA文件版本: %1").arg(h.version);
        return SfaParse::UnknownVersion;
    }

    if (h.openingDiameter < 1 || h.openingDiameter > kMaxSfaDiameter)
        return fail(QStringLiteral("开孔直径错误: %1").arg(h.openingDiameter));

    constexpr int kRecord = CUnWrapImage::kRecordSize;
    if (itemCount < 0 || itemCount > kMaxSfaItems || itemCount > in.remaining() / kRecord)
        return fail(QStringLiteral("测点数错误: %1").arg(itemCount));
    {
        QBuffer records;
        records.setData(bytes.constData() + in.pos(), qsizetype(itemCount) * kRecord);
        records.open(QIODevice::ReadOnly);
        content.strips.reserve(size_t(itemCount));
        for (int32_t i = 0; i < itemCount; ++i) {
            auto item = std::make_unique<CUnWrapImage>();
            item->ReadRecord(records);
            if (item->width < 0 || item->width > kMaxSfaStripSize || item->shownHeight < 0 ||
                item->shownHeight > kMaxSfaStripSize ||
                uint64_t(item->width) * uint64_t(item->shownHeight) * 3u > JpegFile::kMaxImageBytes)
                return fail(QStringLiteral("测点%1的图像尺寸错误: %2x%3")
                                .arg(i + 1)
                                .arg(item->width)
                                .arg(item->shownHeight));
            if (!content.strips.empty() && item->depthKey <= content.strips.back()->depthKey)
                return fail(QStringLiteral("测点%1的深度顺序错误: %2").arg(i + 1).arg(item->depthKey));
            content.strips.push_back(std::move(item));
        }
        in.skip(qsizetype(itemCount) * kRecord);
    }
    h.savedItemCount = itemCount;

    if (shapeCount < 0 || shapeCount > kMaxSfaShapes ||
        shapeCount > in.remaining() / kMinShapeRecord)
        return fail(QStringLiteral("产状数错误: %1").arg(shapeCount));
    content.shapes.reserve(size_t(shapeCount));
    for (int32_t i = 0; i < shapeCount; ++i) {
        QString why;
        std::unique_ptr<CAttitudeShape> shape = ReadShapeRecord(in, &why);
        if (!shape)
            return fail(why);
        content.shapes.push_back(std::move(shape));
    }
    h.savedShapeCount = shapeCount;
    out = std::move(content);
    return SfaParse::Ok;
}

std::vector<SfaUnfitText> SfaUnfitTexts(const SfaHeader& h,
                                        const std::vector<const CAttitudeShape*>& shapes)
{
    std::vector<SfaUnfitText> unfit;
    const auto check = [&unfit](const QString& which, const QString& text) {
        QString chars = charsNotInGbk(text);
        if (!chars.isEmpty())
            unfit.push_back({which, std::move(chars)});
    };
    // The labels of the test-parameter dialog, in its order.
    const std::pair<const char*, const QString*> fields[] = {
        {"检测单位", &h.testingUnit}, {"测试人员", &h.tester},
        {"测试工地", &h.site},        {"孔号", &h.holeNumber},
        {"测试时间", &h.testTime},    {"孔口坐标", &h.collarCoordinates},
        {"孔口高程", &h.elevation},   {"孔倾斜角度", &h.holeInclination},
        {"水位标高", &h.waterLevel},
    };
    for (const auto& [label, text] : fields)
        check(QString::fromUtf8(label), *text);
    // The shape's texts a record holds, by the attitude list's column titles.
    const std::pair<ShapeText, const char*> texts[] = {{TextDepthRange, "深度(m)"},
                                                       {TextDipDirection, "倾向"},
                                                       {TextDipAngle, "倾角"},
                                                       {TextDescription, "产状描述"}};
    for (const CAttitudeShape* shape : shapes)
        for (const auto& [which, title] : texts)
            check(QStringLiteral("ID为%1的%2").arg(shape->GetId()).arg(QString::fromUtf8(title)),
                  shape->GetText(which));
    return unfit;
}

QByteArray SerializeSfa(const SfaHeader& h, const std::vector<const CUnWrapImage*>& strips,
                        const std::vector<const CAttitudeShape*>& shapes)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(128 + strips.size() * CUnWrapImage::kRecordSize + shapes.size() * 96));
    ByteWriter out(bytes);
    out.writeBytes(h.magic.data(), 4);
    out.writeU8(1);
    out.writeI32(h.startDepth);
    out.writeI32(h.samplingStep);
    out.writeU8(h.moveDirection);
    out.writeI32(static_cast<int32_t>(strips.size()));
    out.writeI32(static_cast<int32_t>(shapes.size()));
    out.writeI32(h.holeType);
    out.writeI32(h.openingDiameter);
    out.writeI32(h.finalDiameter);
    out.writeGbkString(h.elevation);
    out.writeGbkString(h.holeNumber);
    out.writeGbkString(JoinInclinationField(h.holeInclination, h.inclinedHoleDipDirection));
    for (const QString* s :
         {&h.collarCoordinates, &h.testingUnit, &h.tester, &h.site, &h.testTime, &h.waterLevel})
        out.writeGbkString(*s);
    {
        QBuffer records(&bytes);
        records.open(QIODevice::WriteOnly | QIODevice::Append);
        for (const CUnWrapImage* item : strips)
            item->WriteRecord(records);
    }
    for (const CAttitudeShape* shape : shapes)
        shape->Write(out);
    return bytes;
}

} // namespace bc
