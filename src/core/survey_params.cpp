#include "core/survey_params.h"

#include "core/profile_format.h"

#include "core/int_limits.h"
#include "core/program_values.h"

#include <QSettings>

namespace bc {

namespace {

const QString kCounter = QStringLiteral("深度计数器");
const QString kLens = QStringLiteral("镜头控制");
const QString kUnwrap = QStringLiteral("展开");
const QString kStitch = QStringLiteral("拼接");
const QString kControl = QStringLiteral("控制参数");
const QString kTest = QStringLiteral("测试参数");
const QString kCoord = QStringLiteral("坐标参数");

QString keyOf(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

// A profile integer: the stored number, or the default when the key is
// missing or does not hold a number.
int readInt(QSettings& p, const QString& section, const QString& key, int def)
{
    const QVariant v = p.value(keyOf(section, key));
    if (!v.isValid())
        return def;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : def;
}

unsigned readUnsigned(QSettings& p, const QString& section, const QString& key, unsigned def)
{
    return static_cast<unsigned>(readInt(p, section, key, static_cast<int>(def)));
}

QString readText(QSettings& p, const QString& section, const QString& key, const QString& def)
{
    const QVariant v = p.value(keyOf(section, key));
    return v.isValid() ? v.toString() : def;
}

void writeInt(QSettings& p, const QString& section, const QString& key, long long value)
{
    p.setValue(keyOf(section, key), static_cast<int>(value));
}

void writeText(QSettings& p, const QString& section, const QString& key, const QString& value)
{
    p.setValue(keyOf(section, key), value);
}

} // namespace

QString degreeTemplate()
{
    return QStringLiteral("   \u00B0 \u2032 \"");
}

bool isValidCounterResolution(unsigned mm)
{
    return mm == 1 || mm == 2 || mm == 10 || mm == 20;
}

int templateSizeFromIndex(long long index)
{
    static const int table[] = {8, 16, 32};
    return index >= 0 && index < 3 ? table[index] : table[1];
}

int searchRangeFromIndex(long long index)
{
    static const int table[] = {5, 10, 15, 20, 30, 40};
    return index >= 0 && index < 6 ? table[index] : table[1];
}

CSurveyParams::CSurveyParams()
    : baudIndex1(0), port1(0), baudIndex2(0), port2(0), moveDirection(0), sampleStep(200),
      counterResolution(1), manualStep(10), compassOffset(0), declination(0.0f), lensType(0),
      startDepth(0), outerRadius(144), innerRadius(45), unwrapWidth(800), heightFactor(2.0f),
      itemsPerPage(10), captureFormat(0), templateSizeIndex(1), centreX(176), centreY(144),
      searchRangeIndex(0), aspectAutoFit(1), holeType(0), openingDiameter(70), finalDiameter(60),
      collarCoordinates(degreeTemplate()), inclinedHoleAzimuth(0.0f)
{
}

CSurveyParams::~CSurveyParams() = default;

void CSurveyParams::LoadProfile(QSettings& p)
{
    counterResolution = readUnsigned(p, kCounter, QStringLiteral("分辨率"), 1);

    lensType = readUnsigned(p, kLens, QStringLiteral("镜头类型"), 0);
    port1 = readInt(p, kLens, QStringLiteral("COM1"), 3);
    baudIndex1 = readInt(p, kLens, QStringLiteral("RATE1"), 6);
    port2 = readInt(p, kLens, QStringLiteral("串口2"), 3);
    baudIndex2 = readInt(p, kLens, QStringLiteral("波特率2"), 6);
    moveDirection = readUnsigned(p, kLens, QStringLiteral("移动方向"), 0);
    sampleStep = readUnsigned(p, kLens, QStringLiteral("移动步距"), 200);
    manualStep = readUnsigned(p, kLens, QStringLiteral("手动步距"), 10);

    captureFormat = readUnsigned(p, kUnwrap, QStringLiteral("抓图格式"), 0);
    outerRadius = readInt(p, kUnwrap, QStringLiteral("外径"), 140);
    innerRadius = readInt(p, kUnwrap, QStringLiteral("内径"), 41);
    unwrapWidth = readInt(p, kUnwrap, QStringLiteral("宽度"), 800);
    heightFactor = static_cast<float>(readInt(p, kUnwrap, QStringLiteral("高度"), 20) * 0.1);
    centreX = readInt(p, kUnwrap, QStringLiteral("中心X"), 176);
    centreY = readInt(p, kUnwrap, QStringLiteral("中心Y"), 144);

    itemsPerPage = readInt(p, kStitch, QStringLiteral("页面测点数"), 10);
    templateSizeIndex = readUnsigned(p, kStitch, QStringLiteral("模板大小"), 1);
    searchRangeIndex = readInt(p, kStitch, QStringLiteral("横向搜索范围"), 1);
    aspectAutoFit = readInt(p, kStitch, QStringLiteral("图像横纵比自适应"), 1);

    // The control-parameter keys are read last, so they win over the older
    // keys of the same values.
    startDepth = readInt(p, kControl, QStringLiteral("起始深度"), 0);
    counterResolution = readUnsigned(p, kControl, QStringLiteral("技数器分辨率"), counterResolution);
    moveDirection = readUnsigned(p, kControl, QStringLiteral("移动方向"), moveDirection);
    sampleStep = readUnsigned(p, kControl, QStringLiteral("采样步距"), sampleStep);
    captureFormat = readUnsigned(p, kControl, QStringLiteral("抓图格式"), captureFormat);
    manualStep = readUnsigned(p, kControl, QStringLiteral("手动调整"), manualStep);
    compassOffset = readInt(p, kControl, QStringLiteral("罗盘方位偏角"), 0);
    // Signed, so that a negative declination survives a save and load.
    declination = static_cast<float>(readInt(p, kControl, QStringLiteral("磁偏角"), 0));

    holeType = readInt(p, kTest, QStringLiteral("孔类型"), 0);
    openingDiameter = readInt(p, kTest, QStringLiteral("开孔直径mm"), 70);
    finalDiameter = readInt(p, kTest, QStringLiteral("终孔直径mm"), 60);
    collarElevation = readText(p, kTest, QStringLiteral("孔口高程"), QString());
    holeNumber = readText(p, kTest, QStringLiteral("孔号"), QString());
    holeInclination = readText(p, kTest, QStringLiteral("孔的倾斜角度"), QString());
    collarCoordinates = readText(p, kTest, QStringLiteral("孔口坐标"), degreeTemplate());
    testUnit = readText(p, kTest, QStringLiteral("测试单位"), QString());
    tester = readText(p, kTest, QStringLiteral("测试人"), QString());
    testSite = readText(p, kTest, QStringLiteral("测试工地"), QString());
    testDate = readText(p, kTest, QStringLiteral("测试日期"), QString());
    waterLevel = readText(p, kTest, QStringLiteral("孔内的水位标高"), QString());
    inclinedHoleAzimuth = static_cast<float>(readInt(p, kTest, QStringLiteral("斜孔的孔倾向"), 0));

    coordX = readText(p, kCoord, QStringLiteral("X"), QStringLiteral("0.0"));
    coordY = readText(p, kCoord, QStringLiteral("Y"), QStringLiteral("0.0"));

    // Load corrections, compared unsigned.
    if (moveDirection > 1)
        moveDirection = 0;
    if (sampleStep == 0)
        sampleStep = 10;
    if (lensType > 1)
        lensType = 0;
    // The counter resolution is millimetres per pulse; only values the
    // counter cannot have are corrected (a stored 10 or 20 stays).
    if (!isValidCounterResolution(counterResolution))
        counterResolution = 1;
    if (manualStep > 1000)
        manualStep = 10;
    if (templateSizeIndex > 2)
        templateSizeIndex = 1;
    if (captureFormat > 1)
        captureFormat = 0;

    currentLensType.store(static_cast<int>(lensType));
    currentCaptureFormat.store(static_cast<int>(captureFormat));
}

bool CSurveyParams::SaveProfile(QSettings& p, QString* reason) const
{
    writeInt(p, kCounter, QStringLiteral("分辨率"), counterResolution);

    writeInt(p, kLens, QStringLiteral("镜头类型"), lensType);
    writeInt(p, kLens, QStringLiteral("COM1"), port1);
    writeInt(p, kLens, QStringLiteral("RATE1"), baudIndex1);
    writeInt(p, kLens, QStringLiteral("串口2"), port2);
    writeInt(p, kLens, QStringLiteral("波特率2"), baudIndex2);
    writeInt(p, kLens, QStringLiteral("移动方向"), moveDirection);
    writeInt(p, kLens, QStringLiteral("移动步距"), sampleStep);
    writeInt(p, kLens, QStringLiteral("手动步距"), manualStep);

    writeInt(p, kUnwrap, QStringLiteral("抓图格式"), captureFormat);
    writeInt(p, kUnwrap, QStringLiteral("外径"), outerRadius);
    writeInt(p, kUnwrap, QStringLiteral("内径"), innerRadius);
    writeInt(p, kUnwrap, QStringLiteral("中心X"), centreX);
    writeInt(p, kUnwrap, QStringLiteral("中心Y"), centreY);
    // Single precision, so that a stored value loads and saves back unchanged
    // (a factor of 0.7 would otherwise save as 6 tenths). The float fields
    // are truncated toward zero and held to the int range: the largest stored
    // integers come back as floats just beyond it.
    writeInt(p, kUnwrap, QStringLiteral("高度"), truncToInt(heightFactor * 10.0f));
    writeInt(p, kUnwrap, QStringLiteral("宽度"), unwrapWidth);

    writeInt(p, kStitch, QStringLiteral("页面测点数"), itemsPerPage);
    writeInt(p, kStitch, QStringLiteral("模板大小"), templateSizeIndex);
    writeInt(p, kStitch, QStringLiteral("横向搜索范围"), searchRangeIndex);
    writeInt(p, kStitch, QStringLiteral("图像横纵比自适应"), aspectAutoFit);

    writeInt(p, kControl, QStringLiteral("起始深度"), startDepth);
    writeInt(p, kControl, QStringLiteral("技数器分辨率"), counterResolution);
    writeInt(p, kControl, QStringLiteral("移动方向"), moveDirection);
    writeInt(p, kControl, QStringLiteral("采样步距"), sampleStep);
    writeInt(p, kControl, QStringLiteral("抓图格式"), captureFormat);
    writeInt(p, kControl, QStringLiteral("手动调整"), manualStep);
    writeInt(p, kControl, QStringLiteral("罗盘方位偏角"), compassOffset);
    writeInt(p, kControl, QStringLiteral("磁偏角"), truncToInt(declination));

    writeInt(p, kTest, QStringLiteral("孔类型"), holeType);
    writeInt(p, kTest, QStringLiteral("开孔直径mm"), openingDiameter);
    writeInt(p, kTest, QStringLiteral("终孔直径mm"), finalDiameter);
    writeText(p, kTest, QStringLiteral("孔口高程"), collarElevation);
    writeText(p, kTest, QStringLiteral("孔号"), holeNumber);
    writeText(p, kTest, QStringLiteral("孔的倾斜角度"), holeInclination);
    writeText(p, kTest, QStringLiteral("孔口坐标"), collarCoordinates);
    writeText(p, kTest, QStringLiteral("测试单位"), testUnit);
    writeText(p, kTest, QStringLiteral("测试人"), tester);
    writeText(p, kTest, QStringLiteral("测试工地"), testSite);
    writeText(p, kTest, QStringLiteral("测试日期"), testDate);
    writeText(p, kTest, QStringLiteral("孔内的水位标高"), waterLevel);
    writeInt(p, kTest, QStringLiteral("斜孔的孔倾向"), truncToInt(inclinedHoleAzimuth));

    writeText(p, kCoord, QStringLiteral("X"), coordX);
    writeText(p, kCoord, QStringLiteral("Y"), coordY);
    return SyncProfile(p, reason);
}

void CSurveyParams::Assign(CSurveyParams o)
{
    baudIndex1 = o.baudIndex1;
    port1 = o.port1;
    baudIndex2 = o.baudIndex2;
    port2 = o.port2;
    moveDirection = o.moveDirection;
    sampleStep = o.sampleStep;
    counterResolution = o.counterResolution;
    manualStep = o.manualStep;
    compassOffset = o.compassOffset;
    declination = o.declination;
    startDepth = o.startDepth;
    outerRadius = o.outerRadius;
    innerRadius = o.innerRadius;
    unwrapWidth = o.unwrapWidth;
    heightFactor = o.heightFactor;
    itemsPerPage = o.itemsPerPage;
    captureFormat = o.captureFormat;
    templateSizeIndex = o.templateSizeIndex;
    searchRangeIndex = o.searchRangeIndex;
    aspectAutoFit = o.aspectAutoFit;
}

} // namespace bc
