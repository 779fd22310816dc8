// The ".sfa" bytes: exact layout of a fresh data set, round trips, version 0,
// shape records, and damaged input.

#include "analysis/byte_io.h"
#include "analysis/sfa_format.h"

#include <gtest/gtest.h>

#include <random>

using namespace bc;

namespace {

QByteArray le32(int32_t v)
{
    QByteArray b;
    ByteWriter(b).writeI32(v);
    return b;
}

template <class T> std::vector<const T*> view(const std::vector<std::unique_ptr<T>>& v)
{
    std::vector<const T*> out;
    for (const auto& s : v)
        out.push_back(s.get());
    return out;
}

QByteArray save(const SfaContent& c)
{
    return SerializeSfa(c.header, view(c.strips), view(c.shapes));
}

// A strip record: depth key, angle, width, shown height.
using Rec = std::tuple<int32_t, uint16_t, int32_t, int32_t>;

std::vector<std::unique_ptr<CUnWrapImage>> items(std::initializer_list<Rec> recs)
{
    std::vector<std::unique_ptr<CUnWrapImage>> v;
    for (const auto& [key, angle, width, shown] : recs) {
        v.push_back(std::make_unique<CUnWrapImage>(key, angle));
        v.back()->width = width;
        v.back()->shownHeight = shown;
    }
    return v;
}

// A loaded record, its header sized like it, and no pixels.
void expectRecord(const CUnWrapImage& item, Rec r)
{
    EXPECT_EQ(std::tuple(item.depthKey, item.angle, item.width, item.shownHeight), r);
    EXPECT_EQ(std::tuple(item.header.width, item.header.height, item.hasPixels()),
              std::tuple(std::get<2>(r), std::get<3>(r), false));
}

QByteArray recordBytes(Rec r)
{
    QByteArray b;
    ByteWriter w(b);
    w.writeI32(std::get<0>(r));
    w.writeU16(std::get<1>(r));
    w.writeI32(std::get<2>(r));
    w.writeI32(std::get<3>(r));
    return b;
}

// The texts of the rich file's header, as written (the inclination apart).
const std::pair<QString SfaHeader::*, const char16_t*> kTexts[] = {
    {&SfaHeader::elevation, u"孔口高程123.4m"},
    {&SfaHeader::holeNumber, u"ZK-07号"},
    {&SfaHeader::testingUnit, u"地质勘察院"},
    {&SfaHeader::tester, u"张三"},
    {&SfaHeader::site, u"某工地"},
    {&SfaHeader::testTime, u"2011-05-01"},
    {&SfaHeader::waterLevel, u"-3.2m"}};
const Rec kRich[] = {{-200, 359, 800, 100}, {0, 12, 800, 87}, {200, 0, 802, 99}};

// A record of `type` (1 line, 2 polyline) with its four texts, then `tail`.
QByteArray shapeRecord(uint32_t type, const std::vector<float>& tail, int pairs = -1)
{
    QByteArray bytes;
    ByteWriter w(bytes);
    for (uint32_t v : {type, 1u, 2u, 0x0000FFu})
        w.writeU32(v);
    for (const char16_t* s : {u"1.00-1.10", u"180°", u"45°", u"张开裂隙"})
        w.writeGbkString(QString::fromUtf16(s));
    if (pairs >= 0)
        w.writeI32(pairs);
    for (float v : tail)
        w.writeF32(v);
    return bytes;
}

QByteArray polylineRecord(int pairs, float firstY = 100.0f)
{
    std::vector<float> xy;
    for (int i = 0; i < pairs; ++i)
        xy.insert(xy.end(), {0.25f * float(i), firstY + float(i)});
    return shapeRecord(2, xy, pairs);
}

// A file with Chinese strings, three strips, a line and a polyline record
// holding 12 pairs.
QByteArray richFile()
{
    SfaHeader h;
    h.startDepth = -1500;
    h.samplingStep = 200;
    h.moveDirection = 1;
    h.holeType = 1;
    h.openingDiameter = 91;
    h.finalDiameter = 75;
    for (const auto& [field, text] : kTexts)
        h.*field = QString::fromUtf16(text);
    h.holeInclination = QStringLiteral("12.5");
    h.inclinedHoleDipDirection = 271.6f;
    const auto strips = items({kRich[0], kRich[1], kRich[2]});
    CAttitudeLine line(0, {1.0f, 100.0f}, {2.0f, 150.0f}, 1, 2, 0x0000FF);
    line.UpdateAttitude(91, 12.5f, 271.6f, 0.0f);
    line.SetDescription(QStringLiteral("张开裂隙，充填泥质"));
    QByteArray bytes = SerializeSfa(h, view(strips), {&line});
    // Patch the shape count to 2 and append a 12-pair polyline record.
    bytes.replace(18, 4, le32(2));
    return bytes + polylineRecord(12);
}

} // namespace

TEST(SfaFormat, FreshDataSetIs91ExactBytes)
{
    const QByteArray empty("\x01\x00\x00\x00\x00", 5);
    QByteArray expected("sfa\0\x01", 5);
    expected += le32(0) + le32(500) + QByteArray(1, '\0') + le32(0) + le32(0) + le32(0) + le32(70) +
                le32(60) + empty + empty;
    expected += QByteArray("\x03\x00\x00\x00,0\x00", 7);
    expected += QByteArray("\x0B\x00\x00\x00   \xA1\xE3 \xA1\xE4 \"\x00", 15);
    expected += empty.repeated(5);
    EXPECT_EQ(SerializeSfa(SfaHeader{}, {}, {}).toHex(' '), expected.toHex(' '));
}

TEST(SfaFormat, InclinationFieldJoinsAndSplitsAtTheLastComma)
{
    EXPECT_EQ(JoinInclinationField(QStringLiteral("12.5"), 271.6f), "12.5,271");
    EXPECT_EQ(JoinInclinationField(QString(), -3.9f), ",-3");
    EXPECT_EQ(JoinInclinationField(QStringLiteral("5%1"), 30.5f), "5%1,30") << "text as typed";
    const std::tuple<QString, QString, float> rows[] = {
        {"12.5,271", "12.5", 271.0f},
        {QStringLiteral("约12,5,30"), QStringLiteral("约12,5"), 30.0f},
        {QStringLiteral("7度"), QStringLiteral("7度"), 0.0f}};
    for (const auto& [field, text, direction] : rows) {
        QString t;
        float d = -1;
        SplitInclinationField(field, t, d);
        EXPECT_EQ(std::tuple(t, d), std::tuple(text, direction)) << field.toStdString();
    }
}

TEST(SfaFormat, RichFileRoundTrips)
{
    const QByteArray bytes = richFile();
    SfaContent c;
    QString detail;
    ResetShapeId();
    ASSERT_EQ(ParseSfa(bytes, c, &detail), SfaParse::Ok) << detail.toStdString();
    const SfaHeader& h = c.header;
    EXPECT_EQ(std::tuple(h.version, h.startDepth, h.samplingStep, h.moveDirection, h.holeType,
                         h.openingDiameter, h.finalDiameter, h.inclinedHoleDipDirection,
                         h.savedItemCount, h.savedShapeCount),
              std::tuple(1, -1500, 200, 1, 1, 91, 75, 271.0f, 3, 2));
    for (const auto& [field, text] : kTexts)
        EXPECT_EQ(h.*field, QString::fromUtf16(text));
    EXPECT_EQ(std::tuple(h.holeInclination, h.collarCoordinates),
              std::tuple(QStringLiteral("12.5"), degreeTemplate()));
    ASSERT_EQ(c.strips.size(), 3u);
    for (int i = 0; i < 3; ++i)
        expectRecord(*c.strips[size_t(i)], kRich[i]);
    // The records sit right after the strings, 14 bytes each, little-endian.
    EXPECT_TRUE(
        bytes.contains(recordBytes(kRich[0]) + recordBytes(kRich[1]) + recordBytes(kRich[2])));
    ASSERT_EQ(c.shapes.size(), 2u);
    EXPECT_EQ(std::tuple(c.shapes[0]->GetId(), c.shapes[1]->GetId(),
                         c.shapes[0]->GetText(TextDescription)),
              std::tuple(0, 1, QStringLiteral("张开裂隙，充填泥质")));

    // Saving what was read and reading it again gives the same bytes; only
    // the two dropped point pairs differ from the hand-made file.
    const QByteArray saved = save(c);
    SfaContent again;
    ASSERT_EQ(ParseSfa(saved, again), SfaParse::Ok);
    EXPECT_EQ(save(again), saved);
    EXPECT_EQ(saved.size(), bytes.size() - 16);
    EXPECT_EQ(saved.left(saved.size() - 84), bytes.left(saved.size() - 84));
}

TEST(SfaFormat, MagicAndVersion)
{
    QByteArray bytes = SerializeSfa(SfaHeader{}, {}, {});
    bytes.replace(0, 3, "SFA");
    SfaContent c;
    ASSERT_EQ(ParseSfa(bytes, c), SfaParse::Ok) << "upper case loads and is kept";
    EXPECT_EQ(save(c).left(4), QByteArray("SFA\0", 4));
    for (const char* bad : {"sfb", "sf\0", "sfax"}) {
        QByteArray wrong = bytes;
        wrong.replace(0, 4, QByteArray(bad, 4));
        SfaContent untouched;
        untouched.header.startDepth = 77;
        EXPECT_EQ(ParseSfa(wrong, untouched), SfaParse::NotSfa) << bad;
        EXPECT_EQ(untouched.header.startDepth, 77);
    }
    bytes[4] = 2;
    QString detail;
    EXPECT_EQ(ParseSfa(bytes, c, &detail), SfaParse::UnknownVersion);
    EXPECT_TRUE(detail.contains("2"));
}

TEST(SfaFormat, VersionZeroLoadsStripsAndKeepsTheTestHeader)
{
    QByteArray v0("sfa\0\x00", 5);
    v0 += le32(1000) + le32(250) + le32(110) + QByteArray("\x01", 1) + le32(2);
    v0 += QByteArray("0123456789", 10);
    v0 += recordBytes({1000, 10, 800, 100}) + recordBytes({1250, 20, 800, 90});
    SfaContent c;
    c.header.tester = QStringLiteral("原有");
    ASSERT_EQ(ParseSfa(v0, c), SfaParse::Ok);
    EXPECT_EQ(std::tuple(c.header.version, c.header.startDepth, c.header.samplingStep,
                         c.header.openingDiameter, c.header.moveDirection, c.header.finalDiameter),
              std::tuple(0, 1000, 250, 110, 1, 60));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.header.reserved.data()), 10),
              "0123456789");
    ASSERT_EQ(std::tuple(c.strips.size(), c.shapes.size()), std::tuple(2u, 0u));
    expectRecord(*c.strips[1], {1250, 20, 800, 90});

    // Saved again it is a version 1 file that keeps the test header.
    const QByteArray v1 = save(c);
    SfaContent back;
    ASSERT_EQ(std::tuple(v1[4], ParseSfa(v1, back)), std::tuple(char(1), SfaParse::Ok));
    EXPECT_EQ(std::tuple(back.header.openingDiameter, back.header.tester, back.strips.size()),
              std::tuple(110, QStringLiteral("原有"), 2u));
    expectRecord(*back.strips[0], {1000, 10, 800, 100});
}

TEST(SfaFormat, EveryTruncationFails)
{
    const QByteArray full = richFile();
    for (qsizetype n = 0; n < full.size(); ++n) {
        SfaContent c;
        c.header.startDepth = 5;
        QString detail;
        EXPECT_NE(ParseSfa(full.left(n), c, &detail), SfaParse::Ok) << "prefix " << n;
        EXPECT_FALSE(detail.isEmpty());
        EXPECT_TRUE(c.header.startDepth == 5 && c.strips.empty()) << "nothing half-loaded";
    }
}

TEST(SfaFormat, ALastStringLongerThanTheFileIsDamage)
{
    // The water level closes a file of no strips and no shapes: its length
    // (one byte, the NUL) claimed longer, with nothing after it to trip on.
    const QByteArray fresh = SerializeSfa(SfaHeader{}, {}, {});
    ASSERT_EQ(fresh.right(5), QByteArray("\x01\0\0\0\0", 5));
    for (int32_t length : {2, INT32_MAX}) {
        SCOPED_TRACE(length);
        SfaContent c;
        c.header.tester = QStringLiteral("原有");
        QString detail;
        EXPECT_EQ(ParseSfa(fresh.left(fresh.size() - 5) + le32(length) + '\0', c, &detail),
                  SfaParse::Damaged);
        EXPECT_EQ(std::tuple(c.header.tester, detail.isEmpty()),
                  std::tuple(QStringLiteral("原有"), false));
    }
}

TEST(SfaFormat, CountsBeyondTheFileFail)
{
    QByteArray bytes = richFile();
    SfaContent c;
    // 4 records would eat into the shapes, which then do not parse.
    bytes.replace(14, 4, le32(4));
    EXPECT_NE(ParseSfa(bytes, c), SfaParse::Ok);
    for (int32_t count : {-1, 0x7FFFFFFF}) {
        bytes.replace(14, 4, le32(count));
        EXPECT_EQ(ParseSfa(bytes, c), SfaParse::Damaged) << count;
    }
    // More strips than any hole has, each record present: refused before
    // a million strip items are made.
    QByteArray many = SerializeSfa(SfaHeader{}, {}, {});
    many.replace(14, 4, le32(kMaxSfaItems + 1));
    many += QByteArray(qsizetype(kMaxSfaItems + 1) * CUnWrapImage::kRecordSize, '\x01');
    EXPECT_EQ(ParseSfa(many, c), SfaParse::Damaged);
    QByteArray shapes = richFile();
    shapes.replace(18, 4, le32(3));
    EXPECT_EQ(ParseSfa(shapes, c), SfaParse::Damaged);
    EXPECT_TRUE(c.shapes.empty());
}

TEST(SfaFormat, RandomMutationsLoadOrFailCleanly)
{
    const QByteArray full = richFile();
    std::mt19937 rng(20111);
    int ok = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray m = full;
        for (int e = 1 + int(rng() % 4); e > 0 && !m.isEmpty(); --e) {
            const qsizetype at = qsizetype(rng() % uint32_t(m.size()));
            const uint32_t how = rng() % 3;
            if (how == 2)
                m.truncate(at);
            else
                m[at] = how == 0 ? char(rng()) : char(m[at] ^ (1 << (rng() % 8)));
        }
        SfaContent c;
        QString detail;
        if (ParseSfa(m, c, &detail) == SfaParse::Ok) {
            ++ok;
            for (const auto& s : c.shapes)
                ASSERT_TRUE(s->GetType() == 1 || s->GetType() == 2);
            // What loads saves again and reloads.
            SfaContent again;
            EXPECT_EQ(ParseSfa(save(c), again), SfaParse::Ok);
        } else {
            EXPECT_FALSE(detail.isEmpty());
            EXPECT_TRUE(c.strips.empty() && c.shapes.empty());
        }
    }
    EXPECT_GT(ok, 0);
}

TEST(SfaFormat, StripRecordsNoSurveyHoldsAreDamage)
{
    // The second of two strips; the first is at 1000, 1800 x 120.
    const std::pair<Rec, bool> cases[] = {
        {{1001, 0, kMaxSfaStripSize, 1366}, true}, // 256 MiB of pixels at most
        {{1001, 0, 1366, kMaxSfaStripSize}, true},
        {{1001, 0, kMaxSfaStripSize, 1367}, false},
        {{1001, 0, kMaxSfaStripSize, kMaxSfaStripSize}, false},
        {{1001, 0, kMaxSfaStripSize, 21860}, false}, // pixel bytes beyond 32 bits
        {{1001, 0, 1, kMaxSfaStripSize + 1}, false},
        {{1001, 0, 0, 0}, true},
        {{1001, 0, INT32_MAX, 120}, false},
        {{1001, 0, INT32_MIN, 120}, false},
        {{1001, 0, kMaxSfaStripSize + 1, 120}, false},
        {{1001, 0, 1800, INT32_MAX}, false},
        {{1001, 0, 1800, INT32_MIN}, false},
        {{1001, 0, 1800, -1}, false},
        {{1000, 0, 1800, 120}, false}, // the same depth twice
        {{999, 0, 1800, 120}, false},  // one below: no depth span left
    };
    for (const auto& [second, loads] : cases) {
        SCOPED_TRACE(testing::PrintToString(second));
        SfaContent content;
        QString detail;
        EXPECT_EQ(
            ParseSfa(SerializeSfa(SfaHeader{}, view(items({{1000, 0, 1800, 120}, second})), {}),
                     content, &detail),
            loads ? SfaParse::Ok : SfaParse::Damaged);
        EXPECT_EQ(std::tuple(content.strips.size(), detail.isEmpty()),
                  std::tuple(loads ? 2u : 0u, loads));
    }
}

TEST(SfaFormat, OpeningDiametersNoHoleHasAreDamage)
{
    const std::pair<int32_t, bool> cases[] = {{1, true},
                                              {kMaxSfaDiameter, true},
                                              {0, false},
                                              {kMaxSfaDiameter + 1, false},
                                              {INT32_MIN, false}};
    for (const auto& [diameter, loads] : cases) {
        SCOPED_TRACE(diameter);
        SfaHeader h;
        h.openingDiameter = diameter;
        QByteArray v0("sfa\0\x00", 5);
        v0 += le32(0) + le32(500) + le32(diameter) + QByteArray(1, '\0') + le32(0) +
              QByteArray(10, '\0');
        for (const QByteArray& bytes : {SerializeSfa(h, {}, {}), v0}) {
            SfaContent c;
            QString detail;
            EXPECT_EQ(ParseSfa(bytes, c, &detail), loads ? SfaParse::Ok : SfaParse::Damaged);
            EXPECT_EQ(
                std::tuple(c.header.openingDiameter, detail.contains(QString::number(diameter))),
                std::tuple(loads ? diameter : 70, !loads));
        }
    }
}

// --- shape records -----------------------------------------------------------------

TEST(ShapeRecords, LineRoundTripsByteForByte)
{
    CAttitudeLine line(4, {0.5f, 1200.0f}, {1.5f, 1000.0f}, 2, 3, 0x00123456);
    line.UpdateAttitude(70, 0, 0, 0);
    line.SetDescription(QStringLiteral("破碎带"));
    QByteArray bytes;
    ByteWriter w(bytes);
    line.Write(w);
    EXPECT_EQ(bytes.left(16), QByteArray("\x01\0\0\0\x02\0\0\0\x03\0\0\0\x56\x34\x12\0", 16));

    ResetShapeId();
    NextShapeId();
    ByteReader r(bytes);
    QString error;
    std::unique_ptr<CAttitudeShape> back = ReadShapeRecord(r, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(std::tuple(back->GetId(), back->GetPenStyle(), back->GetPenWidth(),
                         back->GetPenColor(), back->GetText(TextId)),
              std::tuple(1, 2, 3, 0x00123456u, QStringLiteral("1")));
    for (int t = TextDepthRange; t <= TextDescription; ++t)
        EXPECT_EQ(back->GetText(ShapeText(t)), line.GetText(ShapeText(t)));
    QByteArray again;
    ByteWriter w2(again);
    back->Write(w2);
    EXPECT_EQ(again, bytes);
}

TEST(ShapeRecords, TwelvePairsLoadAsTenAndTheNextRecordFollows)
{
    QByteArray bytes = polylineRecord(12) + polylineRecord(3, 500.0f);
    ByteReader r(bytes);
    auto first = ReadShapeRecord(r, nullptr);
    auto second = ReadShapeRecord(r, nullptr);
    EXPECT_TRUE(r.atEnd());
    auto* p1 = dynamic_cast<CAttitudePolyline*>(first.get());
    auto* p2 = dynamic_cast<CAttitudePolyline*>(second.get());
    ASSERT_TRUE(p1 && p2);
    ASSERT_EQ(std::tuple(p1->points().size(), p2->points().size()), std::tuple(10u, 3u));
    EXPECT_EQ(std::tuple(p1->points()[9], p2->points()[0], p1->GetText(TextDescription)),
              std::tuple(CShapePoint(2.25f, 109.0f), CShapePoint(0.0f, 500.0f),
                         QStringLiteral("张开裂隙")));
}

TEST(ShapeRecords, DamagedRecordsFailWithoutReadingPastTheEnd)
{
    const QByteArray full = polylineRecord(4);
    for (qsizetype n = 0; n < full.size(); ++n) {
        const QByteArray cut = full.left(n); // a copy: ASan sees any overrun
        ByteReader r(cut);
        QString error;
        EXPECT_FALSE(ReadShapeRecord(r, &error)) << "prefix " << n;
        EXPECT_FALSE(error.isEmpty());
    }
    // A string length beyond the record (0x7F00000A), none at all (not even
    // the NUL), a negative one, a huge point count, an unknown type.
    QByteArray manyPoints = polylineRecord(0);
    manyPoints.chop(4);
    ByteWriter(manyPoints).writeI32(0x10000000);
    const std::tuple<int, char, QByteArray> rows[] = {{19, char(0x7F), full},
                                                      {16, 0, full},
                                                      {19, char(0xFF), full},
                                                      {0, 2, manyPoints},
                                                      {0, 3, full}};
    for (auto [at, value, bad] : rows) {
        bad[at] = value;
        ByteReader r(bad);
        QString error;
        EXPECT_FALSE(ReadShapeRecord(r, &error)) << at;
        EXPECT_TRUE(value != 3 || error.contains("3")) << "names the unknown type";
    }
}

TEST(ShapeRecords, AnInclinedHoleMirrorsAShallowFirstLine)
{
    // A record whose first point is the shallower one and lies left of the
    // second: the dip direction becomes inclined + 360 - direction.
    const QByteArray bytes = shapeRecord(1, {0.0f, 1000.0f, 3.14159265f / 2, 1100.0f});
    ByteReader r(bytes);
    const std::unique_ptr<CAttitudeShape> line = ReadShapeRecord(r, nullptr);
    ASSERT_TRUE(line);
    line->UpdateAttitude(100, 0.0f, 30.0f, 0.0f);
    // Deeper point at pi/2: 90 degrees; 30 + 360 - 90 = 300.
    EXPECT_EQ(std::tuple(line->GetText(TextDipDirection), line->GetText(TextDepthRange)),
              std::tuple(QStringLiteral("300°"), QStringLiteral("1.10-1.00")));
}
