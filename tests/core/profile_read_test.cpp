// The profile's reader keeps every key Qt's own INI reader keeps, with the
// same value: one odd line, a file cut short or a hand edit loses that line
// only, never the whole profile.

#include "profile_compare.h"

#include <gtest/gtest.h>

#include <random>

namespace bc {
namespace {

using test::describe;

// Files a hand, an installer or a crash may leave, each read by both readers.
TEST(ProfileRead, EveryFileReadsAsQtsIniReaderReadsIt)
{
    const QByteArray profile = test::qtDefaultProfile();
    ASSERT_TRUE(profile.contains("[%U4E32%U53E3%U8BBE%U5907]")); // [串口设备]
    const QByteArray files[] = {
        // Lines Qt's reader skips while keeping the others.
        "# 安装程序写入的配置\n" + profile,
        profile + "\n# 注释\n[%U89C6%U9891%U8BBE%U5907]\nno equals sign\nlater=1\n",
        "[unclosed\nx=1\n[a]\ny=2\n" + profile,
        profile + "[unclosed",
        "[a]\nb\\=1\nc=2\n",
        "[a]\nb%2F=1\nc=2\n",
        // Blanks before a section name: only blanks and tabs open a section.
        "\v[b]\nx=1\n",
        "\f[b]\nx=1\n",
        "\t [b]\nx=1\n",
        "x=0\n[b] \nx=1\n[ c ]\nx=2\n",
        // Values starting with '@'.
        "x=@x\ny=@\nz=@@y\nw=@Invalid()\nv=@String(a\\0b)\nu=@ByteArray(ab\\xff)\n",
        "r=@Rect(1 2 3 4)\ns=@Size(5 6)\np=@Point(7 8)\nq=@Rect(1 2 3)4)\no=@Size(1)\nn=@Rect()\n",
        "l=a, @@b\nm=@String(a), @Invalid(), @ByteArray(c)\nk=a, @x\nj=@@a, @@b\n",
        "x=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\a)\ny=@Variant(junk)\nz=@DateTime(junk)\n",
        // Quotes, escapes and continued lines.
        "x=\"a\nb\"\ny=1\nz=a\\\nb\nw=a\\\r\nc\n",
        "x=\"a;b\" ; tail\ny=a ; tail\n; comment=1\n  ;x=2\nz=\"\"\"\"\n",
        "x=a  \\\ny=a  \\x\nz=a  \\x4\nw=\\101\\x41g\\q\\?\\'\nv=\"a\" b  \nu=a \"b\" c  \n",
        "x=  a  \ny=\t\"a \" \nz= a , b ,, \"c,d\" , \nw=,\nv=a,\n",
        "x=\\x\n",
        "x=\\",
        "x=\"abc",
        "x=a\\x4",
        "x=a\\17",
        // Sections.
        "[a]\nx=1\n[b]\ny=1\n[a]\nx=2\nz=3\n",
        "[general]\nx=1\n[%General]\ny=2\n[%general]\nz=3\n[GENERAL]\nw=4\n",
        "x=1\n[a]x=2\ny=3\n[a/b]\nc=4\n[a]\nb\\c=5\n",
        "[a\"b]\nc=\"\n[d]\ne=1\n\"\n",
        // Keys.
        "x=1\n=2\n[a]\n=3\n  =4\n",
        "%zz=1\n%4=2\n%U00e9=3\n%+1=4\n%0x=5\n%-1=6\n%1 =7\na%=8\n%U12=9\n",
        " k e y = v a l \n\\a\\=x\n\\\\b=y\n",
        // Line ends, byte order mark, bytes that are not UTF-8.
        "x=1\r\ny=2\rz=3\n\r[a]\r\nw=4",
        "\xEF\xBB\xBFx=1\n",
        "\xEF\xBB\xBF[s]\nx=1\n[t]\ny=2\n", // as an editor saves it
        "\xEF\xBB\xBF\xEF\xBB\xBFx=1\n",
        "\xEF\xBB\xBF  x=1\n[s]\n\xEF\xBB\xBFy=\xEF\xBB\xBFv\n",
        "\xEF\xBB\xBF\"a\nb=1\"\nc=2\n",
        "x=\xE6\xB5\ny=\xFF\xFE\n\xE6=1\nz=a\xE6\\n\xB5\x8B\n",
        QByteArray("x=a\0b\ny=\0\n", 10),
    };
    test::ReaderPair readers;
    for (const QByteArray& file : files) {
        const auto [qt, ours] = readers.read(file);
        EXPECT_TRUE(ours == qt) << describe(file) << "\nQt reads:" << describe(qt)
                                << "\nours reads:" << describe(ours);
    }
    // The first three keep every key of the profile.
    const test::ProfileReading whole = readers.read(profile).first;
    ASSERT_FALSE(whole.keys.isEmpty());
    for (int i = 0; i < 3; ++i) {
        const test::ProfileReading ours = readers.read(files[i]).second;
        for (const QString& key : whole.keys)
            EXPECT_TRUE(ours.keys.contains(key)) << i << ' ' << key.toStdString();
    }
}

// A default profile cut short at every byte (a crash or a full disk during a
// copy): every prefix reads as Qt reads it.
TEST(ProfileRead, ADefaultProfileCutAtEveryByteReadsAsQtReadsIt)
{
    const QByteArray profile = test::qtDefaultProfile();
    ASSERT_GT(profile.size(), 1000);
    test::ReaderPair readers;
    int qtNoKey = 0, ourNoKey = 0, differ = 0;
    for (qsizetype cut = 0; cut <= profile.size(); ++cut) {
        const auto [qt, ours] = readers.read(profile.left(cut));
        qtNoKey += qt.keys.isEmpty();
        ourNoKey += ours.keys.isEmpty();
        if (!(ours == qt) && ++differ <= 5)
            ADD_FAILURE() << "cut at " << cut << "\nQt reads:" << describe(qt)
                          << "\nours reads:" << describe(ours);
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(ourNoKey, qtNoKey) << "cuts of " << profile.size() << " bytes with no key read";
}

// Random damage to a profile (bytes inserted, removed, lines doubled, the
// end cut), a few hundred times: both readers agree.
TEST(ProfileRead, RandomlyDamagedProfilesReadAsQtReadsThem)
{
    const QByteArray profile = test::qtDefaultProfile() + "l=a, \"b,c\", @@d\n";
    static const char* const fragments[] = {
        "[",
        "]",
        "=",
        ";",
        "\"",
        "\\",
        "\n",
        "\r",
        "\t",
        "\v",
        "\f",
        " ",
        ",",
        "@",
        "%",
        "%U",
        "%2F",
        "x",
        "7",
        "\\x",
        "\\0",
        ")",
        "@Invalid()",
        "@String(",
        "@Rect(1 2 3 4)",
        "@ByteArray(",
        "\xE6",
        "\xB5\x8B",
        "\xEF\xBB\xBF",
        "[General]",
        "[a]",
        "[%General]",
        "#",
    };
    std::mt19937 random(20261207);
    auto below = [&](qsizetype n) { return qsizetype(random() % quint64(n)); };
    test::ReaderPair readers;
    int differ = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray file = profile;
        for (int k = 1 + below(4); k > 0; --k) {
            const qsizetype at = below(file.size() + 1);
            switch (below(5)) {
            case 0:
            case 1:
                file.insert(at, fragments[below(std::size(fragments))]);
                break;
            case 2:
                file.remove(at, 1 + below(20));
                break;
            case 3: {
                const qsizetype start = file.lastIndexOf('\n', at - 1) + 1;
                const qsizetype end = file.indexOf('\n', at);
                file.insert(start, file.mid(start, end < 0 ? -1 : end - start + 1));
                break;
            }
            default:
                if (at < file.size())
                    file[at] = char(below(256));
            }
        }
        if (below(4) == 0)
            file.truncate(below(file.size() + 1));
        const auto [qt, ours] = readers.read(file);
        if (!(ours == qt) && ++differ <= 5)
            ADD_FAILURE() << "round " << round << ": " << describe(file)
                          << "\nQt reads:" << describe(qt) << "\nours reads:" << describe(ours);
    }
    EXPECT_EQ(differ, 0);
}

} // namespace
} // namespace bc
