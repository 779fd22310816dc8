#pragma once
// The ".sfa" analysis file as bytes: the header and test fields of a data set,
// its 14-byte strip records and its shape records. Version 0 (strips only) is
// read; version 1 is read and written. All integers are little-endian without
// padding; strings are GBK with their length and terminating NUL. Parsing
// checks every length and count against the bytes remaining and fails as a
// whole: nothing of a damaged file is handed out.

#include "analysis/attitude_shape.h"
#include "core/survey_params.h"
#include "core/unwrap_image.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace bc {

// The fields of a data set that the file carries besides strips and shapes.
struct SfaHeader {
    std::array<char, 4> magic{'s', 'f', 'a', '\0'};
    uint8_t version = 0;
    int32_t startDepth = 0;
    int32_t samplingStep = 500;
    uint8_t moveDirection = 0;
    int32_t savedItemCount = 0;
    std::array<uint8_t, 10> reserved{};
    int32_t savedShapeCount = 0;
    int32_t holeType = 0;
    int32_t openingDiameter = 70;
    int32_t finalDiameter = 60;
    QString elevation;
    QString holeNumber;
    QString holeInclination;
    QString collarCoordinates = degreeTemplate();
    QString testingUnit;
    QString tester;
    QString site;
    QString testTime;
    QString waterLevel;
    float inclinedHoleDipDirection = 0.0f;
};

// The strips come as strip items without pixels (their record only); the
// pixels live in files of their own.
struct SfaContent {
    SfaHeader header;
    std::vector<std::unique_ptr<CUnWrapImage>> strips;
    std::vector<std::unique_ptr<CAttitudeShape>> shapes;
};

enum class SfaParse { Ok, NotSfa, UnknownVersion, Damaged };

// More strips (a 10 km hole at 10 mm a strip) or shapes than this are taken
// for damage: each costs memory far beyond its bytes in the file.
constexpr int32_t kMaxSfaItems = 1000000;
constexpr int32_t kMaxSfaShapes = 1000000;
// A strip wider or taller than this, or of more pixels than a strip picture
// may hold (JpegFile::kMaxImageBytes of 24-bit pixels), is damage: the strips
// are JPEG files (65,500 pixels a side at most), unwraps are at most 1800
// columns wide and a ring gives a few hundred rows. Depth keys rise strictly
// from strip to strip, as a data set keeps them.
constexpr int32_t kMaxSfaStripSize = 65500;
// An opening diameter outside 1 mm to 100 m is damage: no hole or pipe has it,
// and the page width grows with it.
constexpr int32_t kMaxSfaDiameter = 100000;

// Parses a whole file into `out`, whose header supplies the fields a version-0
// file does not carry. On anything but Ok, `out` is left as it was and
// `detail` says what did not fit. Shapes take fresh ids in file order.
SfaParse ParseSfa(const QByteArray& bytes, SfaContent& out, QString* detail = nullptr);

// The version-1 bytes of a header, strip records and shapes. The header's
// version and counts are written as 1 and the sizes of the two lists.
QByteArray SerializeSfa(const SfaHeader& header, const std::vector<const CUnWrapImage*>& strips,
                        const std::vector<const CAttitudeShape*>& shapes);

// A text of a data set that the file cannot hold as it stands: which text, as
// the user knows it ("孔号", "ID为3的产状描述"), and its characters that GBK
// has no code for, each once; the file holds '?' in their place.
struct SfaUnfitText {
    QString which;
    QString chars;
};
// Every such text of the header (in the order of the test-parameter dialog)
// and of the shapes (in list order); empty when the file holds them all.
std::vector<SfaUnfitText> SfaUnfitTexts(const SfaHeader& header,
                                        const std::vector<const CAttitudeShape*>& shapes);

// Field 11 of version 1: "%s,%d" of the inclination text and the dip direction
// truncated toward zero, and its reading (split at the last comma).
QString JoinInclinationField(const QString& inclination, float dipDirection);
void SplitInclinationField(const QString& field, QString& inclination, float& dipDirection);

} // namespace bc
