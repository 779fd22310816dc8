// The ".sfa" bytes: exact layout of a fresh data set, round trips, version 0,
// and damaged input.

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

QByteArray emptyString()
{
    return QByteArray("\x01\x00\x00\x00\x00", 5);
}

template <class T>
std::vector<const T*> view(const std::vector<std::unique_ptr<T>>& v)
{
    std::vector<const T*> out;
    for (const auto& s : v)
        out.push_back(s.get());
    return out;
}

struct Rec {
    int32_t key;
    uint16_t angle;
    int32_t width;
    int32_t shown;
};

std::vector<std::unique_ptr<CUnWrapImage>> items(std::initializer_list<Rec> recs)
{
    std::vector<std::unique_ptr<CUnWrapImage>> v;
    for (const Rec& r : recs) {
        auto item = std::make_unique<CUnWrapImage>(r.key, r.angle);
        item->width = r.width;
        item->shownHeight = r.shown;
        v.push_back(std::move(item));
    }
    return v;
}

void expectRecord(const CUnWrapImage& item, Rec r)
{
    EXPECT_EQ(item.depthKey, r.key);
    EXPECT_EQ(item.angle, r.angle);
    EXPECT_EQ(item.width, r.width);
    EXPECT_EQ(item.shownHeight, r.shown);
    EXPECT_EQ(item.header.width, r.width);
    EXPECT_EQ(item.header.height, r.shown);
    EXPECT_FALSE(item.hasPixels());
}

QByteArray recordBytes(Rec r)
{
    QByteArray b;
    ByteWriter w(b);
    w.writeI32(r.key);
    w.writeU16(r.angle);
    w.writeI32(r.width);
    w.writeI32(r.shown);
    return b;
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
    h.elevation = QStringLiteral("孔口高程123.4m");
    h.holeNumber = QStringLiteral("ZK-07号");
    h.holeInclination = QStringLiteral("12.5");
    h.inclinedHoleDipDirection = 271.6f;
    h.testingUnit = QStringLiteral("地质勘察院");
    h.tester = QStringLiteral("张三");
    h.site = QStringLiteral("某工地");
    h.testTime = QStringLiteral("2011-05-01");
    h.waterLevel = QStringLiteral("-3.2m");
    const auto strips = items({{-200, 359, 800, 100}, {0, 12, 800, 87}, {200, 0, 802, 99}});
    CAttitudeLine line(0, {1.0f, 100.0f}, {2.0f, 150.0f}, 1, 2, 0x0000FF);
    line.UpdateAttitude(91, 12.5f, 271.6f, 0.0f);
    line.SetDescription(QStringLiteral("张开裂隙，充填泥质"));
    QByteArray bytes = SerializeSfa(h, view(strips), {&line});
    // Patch the shape count to 2 and append a 12-pair polyline record.
    bytes.replace(5 + 4 + 4 + 1 + 4, 4, le32(2));
    ByteWriter w(bytes);
    w.writeI32(2);
    w.writeI32(0);
    w.writeI32(1);
    w.writeU32(0x00FF00);
    w.writeGbkString(QStringLiteral("0.10-0.20"));
    w.writeGbkString(QStringLiteral("90°"));
    w.writeGbkString(QStringLiteral("30°"));
    w.writeGbkString(QStringLiteral("层面"));
    w.writeI32(12);
    for (int i = 0; i < 12; ++i) {
        w.writeF32(0.5f * float(i));
        w.writeF32(100.0f + 10.0f * float(i));
    }
    return bytes;
}

} // namespace

TEST(SfaFormat, FreshDataSetIs91ExactBytes)
{
    const QByteArray bytes = SerializeSfa(SfaHeader{}, {}, {});
    QByteArray expected("sfa\0\x01", 5);
    expected += le32(0) + le32(500) + QByteArray(1, '\0') + le32(0) + le32(0) + le32(0) +
                le32(70) + le32(60);
    expected += emptyString() + emptyString();
    expected += QByteArray("\x03\x00\x00\x00,0\x00", 7);
    expected += QByteArray("\x0B\x00\x00\x00   \xA1\xE3 \xA1\xE4 \"\x00", 15);
    for (int i = 0; i < 5; ++i)
        expected += emptyString();
    EXPECT_EQ(bytes.size(), 91);
    EXPECT_EQ(bytes.toHex(' '), expected.toHex(' '));
}

TEST(SfaFormat, InclinationFieldJoinsAndSplits)
{
    EXPECT_EQ(JoinInclinationField(QStringLiteral("12.5"), 271.6f), "12.5,271");
    EXPECT_EQ(JoinInclinationField(QString(), -3.9f), ",-3");
    EXPECT_EQ(JoinInclinationField(QStringLiteral("5%1"), 30.5f), "5%1,30") << "text as typed";
    QString text;
    float dir = -1;
    SplitInclinationField(QStringLiteral("12.5,271"), text, dir);
    EXPECT_EQ(text, "12.5");
    EXPECT_EQ(dir, 271.0f);
    // A comma inside the inclination text survives the round trip.
    SplitInclinationField(JoinInclinationField(QStringLiteral("约12,5"), 30.5f), text, dir);
    EXPECT_EQ(text, QStringLiteral("约12,5"));
    EXPECT_EQ(dir, 30.0f);
    SplitInclinationField(QStringLiteral("7度"), text, dir);
    EXPECT_EQ(text, QStringLiteral("7度"));
    EXPECT_EQ(dir, 0.0f);
}

TEST(SfaFormat, RichFileRoundTrips)
{
    const QByteArray bytes = richFile();
    SfaContent c;
    QString detail;
    ResetShapeId();
    ASSERT_EQ(ParseSfa(bytes, c, &detail), SfaParse::Ok) << detail.toStdString();
    const SfaHeader& h = c.header;
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.startDepth, -1500);
    EXPECT_EQ(h.moveDirection, 1);
    EXPECT_EQ(h.openingDiameter, 91);
    EXPECT_EQ(h.elevation, QStringLiteral("孔口高程123.4m"));
    EXPECT_EQ(h.holeNumber, QStringLiteral("ZK-07号"));
    EXPECT_EQ(h.holeInclination, "12.5");
    EXPECT_EQ(h.inclinedHoleDipDirection, 271.0f);
    EXPECT_EQ(h.collarCoordinates, degreeTemplate());
    EXPECT_EQ(h.tester, QStringLiteral("张三"));
    EXPECT_EQ(h.waterLevel, "-3.2m");
    EXPECT_EQ(h.savedItemCount, 3);
    EXPECT_EQ(h.savedShapeCount, 2);
    ASSERT_EQ(c.strips.size(), 3u);
    expectRecord(*c.strips[0], {-200, 359, 800, 100});
    expectRecord(*c.strips[2], {200, 0, 802, 99});
    // The records sit right after the strings, 14 bytes each, little-endian.
    EXPECT_TRUE(bytes.contains(recordBytes({-200, 359, 800, 100}) +
                               recordBytes({0, 12, 800, 87}) + recordBytes({200, 0, 802, 99})));
    ASSERT_EQ(c.shapes.size(), 2u);
    EXPECT_EQ(c.shapes[0]->GetId(), 0);
    EXPECT_EQ(c.shapes[1]->GetId(), 1);
    EXPECT_EQ(c.shapes[0]->GetText(TextDescription), QStringLiteral("张开裂隙，充填泥质"));
    auto* poly = dynamic_cast<CAttitudePolyline*>(c.shapes[1].get());
    ASSERT_TRUE(poly);
    EXPECT_EQ(poly->points().size(), 10u);

    // Saving what was read and reading it again gives the same bytes.
    const QByteArray saved = SerializeSfa(h, view(c.strips), view(c.shapes));
    SfaContent again;
    ASSERT_EQ(ParseSfa(saved, again), SfaParse::Ok);
    EXPECT_EQ(SerializeSfa(again.header, view(again.strips), view(again.shapes)), saved);
    // Only the two dropped point pairs differ from the hand-made file.
    EXPECT_EQ(saved.size(), bytes.size() - 16);
    EXPECT_EQ(saved.left(saved.size() - 84), bytes.left(saved.size() - 84));
}

TEST(SfaFormat, UpperCaseMagicLoadsAndIsKept)
{
    QByteArray bytes = SerializeSfa(SfaHeader{}, {}, {});
    bytes[0] = 'S';
    bytes[1] = 'F';
    bytes[2] = 'A';
    SfaContent c;
    ASSERT_EQ(ParseSfa(bytes, c), SfaParse::Ok);
    EXPECT_EQ(QByteArray(c.header.magic.data(), 3), "SFA");
    EXPECT_EQ(SerializeSfa(c.header, {}, {}).left(4), QByteArray("SFA\0", 4));

    for (const QByteArray& bad : {QByteArray("sfb\0", 4), QByteArray("sf\0\0", 4),
                                  QByteArray("sfax", 4)}) {
        QByteArray wrong = bytes;
        wrong.replace(0, 4, bad);
        SfaContent untouched;
        untouched.header.startDepth = 77;
        EXPECT_EQ(ParseSfa(wrong, untouched), SfaParse::NotSfa) << bad.toStdString();
        EXPECT_EQ(untouched.header.startDepth, 77);
    }
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
    EXPECT_EQ(c.header.version, 0);
    EXPECT_EQ(c.header.startDepth, 1000);
    EXPECT_EQ(c.header.samplingStep, 250);
    EXPECT_EQ(c.header.openingDiameter, 110);
    EXPECT_EQ(c.header.moveDirection, 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.header.reserved.data()), 10),
              "0123456789");
    EXPECT_EQ(c.header.tester, QStringLiteral("原有"));
    EXPECT_EQ(c.header.finalDiameter, 60);
    ASSERT_EQ(c.strips.size(), 2u);
    expectRecord(*c.strips[1], {1250, 20, 800, 90});
    EXPECT_TRUE(c.shapes.empty());

    const QByteArray v1 = SerializeSfa(c.header, view(c.strips), {});
    EXPECT_EQ(v1[4], 1);
    SfaContent back;
    ASSERT_EQ(ParseSfa(v1, back), SfaParse::Ok);
    EXPECT_EQ(back.header.openingDiameter, 110);
    ASSERT_EQ(back.strips.size(), 2u);
    expectRecord(*back.strips[0], {1000, 10, 800, 100});
    EXPECT_EQ(back.header.tester, QStringLiteral("原有"));
}

TEST(SfaFormat, NewerVersionsAreRefused)
{
    QByteArray bytes = SerializeSfa(SfaHeader{}, {}, {});
    bytes[4] = 2;
    SfaContent c;
    QString detail;
    EXPECT_EQ(ParseSfa(bytes, c, &detail), SfaParse::UnknownVersion);
    EXPECT_TRUE(detail.contains("2"));
}

TEST(SfaFormat, EveryTruncationFails)
{
    const QByteArray full = richFile();
    for (qsizetype n = 0; n < full.size(); ++n) {
        const QByteArray cut = full.left(n);
        SfaContent c;
        c.header.startDepth = 5;
        QString detail;
        const SfaParse r = ParseSfa(cut, c, &detail);
        EXPECT_NE(r, SfaParse::Ok) << "prefix " << n;
        EXPECT_FALSE(detail.isEmpty());
        EXPECT_EQ(c.header.startDepth, 5) << "nothing half-loaded";
        EXPECT_TRUE(c.strips.empty());
    }
}

TEST(SfaFormat, CountsBeyondTheFileFail)
{
    QByteArray bytes = richFile();
    QByteArray items = bytes;
    items.replace(14, 4, le32(4)); // one record more than present, and shapes follow
    SfaContent c;
    // 4 records would eat into the shapes, which then do not parse.
    EXPECT_NE(ParseSfa(items, c), SfaParse::Ok);
    items.replace(14, 4, le32(-1));
    EXPECT_EQ(ParseSfa(items, c), SfaParse::Damaged);
    items.replace(14, 4, le32(0x7FFFFFFF));
    EXPECT_EQ(ParseSfa(items, c), SfaParse::Damaged);
    // More strips than any hole has, each record present: refused before
    // a million strip items are made.
    QByteArray many = SerializeSfa(SfaHeader{}, {}, {});
    many.replace(14, 4, le32(kMaxSfaItems + 1));
    many += QByteArray(qsizetype(kMaxSfaItems + 1) * CUnWrapImage::kRecordSize, '\x01');
    EXPECT_EQ(ParseSfa(many, c), SfaParse::Damaged);
    QByteArray shapes = bytes;
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
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const qsizetype at = qsizetype(rng() % uint32_t(m.size()));
            switch (rng() % 3) {
            case 0: m[at] = char(rng()); break;
            case 1: m[at] = char(m[at] ^ (1 << (rng() % 8))); break;
            default: m.truncate(at); break;
            }
            if (m.isEmpty())
                break;
        }
        SfaContent c;
        QString detail;
        const SfaParse r = ParseSfa(m, c, &detail);
        if (r == SfaParse::Ok) {
            ++ok;
            for (const auto& s : c.shapes)
                ASSERT_TRUE(s->GetType() == 1 || s->GetType() == 2);
            // What loads saves again and reloads.
            const QByteArray saved = SerializeSfa(c.header, view(c.strips), view(c.shapes));
            SfaContent again;
            EXPECT_EQ(ParseSfa(saved, again), SfaParse::Ok);
        } else {
            EXPECT_FALSE(detail.isEmpty());
            EXPECT_TRUE(c.strips.empty() && c.shapes.empty());
        }
    }
    EXPECT_GT(ok, 0);
}

TEST(SfaFormat, StripRecordsNoSurveyHoldsAreDamage)
{
    const Rec good{1000, 0, 1800, 120};
    struct Case {
        Rec second;
        bool loads;
    };
    const Case cases[] = {
        {{1001, 0, kMaxSfaStripSize, kMaxSfaStripSize}, true},
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
    for (const Case& c : cases) {
        const auto strips = items({good, c.second});
        SfaContent content;
        QString detail;
        const SfaParse r = ParseSfa(SerializeSfa(SfaHeader{}, view(strips), {}), content, &detail);
        EXPECT_EQ(r, c.loads ? SfaParse::Ok : SfaParse::Damaged)
            << c.second.key << " " << c.second.width << "x" << c.second.shown;
        EXPECT_EQ(content.strips.size(), c.loads ? 2u : 0u);
        EXPECT_EQ(detail.isEmpty(), c.loads);
    }
}
