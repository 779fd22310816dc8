#pragma once
// The settings of a survey: serial ports, depth counter and camera movement,
// unwrap geometry, stitch settings, capture format, lens type and the borehole
// test header. Kept in the application profile, one section per group.

#include <QString>

class QSettings;

namespace bc {

class CSurveyParams {
public:
    CSurveyParams();
    virtual ~CSurveyParams();

    CSurveyParams(const CSurveyParams&) = default;
    CSurveyParams& operator=(const CSurveyParams&) = default;

    // Reads every key with its profile default, applies the load corrections
    // and publishes the current lens type and capture format.
    void LoadProfile(QSettings& profile);
    // Writes every key (the five values kept under two keys go to both) and
    // the profile's file. False, with the reason in `reason`, when the file
    // could not be written; it is then as it was.
    bool SaveProfile(QSettings& profile, QString* reason = nullptr) const;
    // Copies the control, unwrap and stitch values of `other`; leaves the lens
    // type, the centre, the test header and the hole azimuth as they are.
    void Assign(CSurveyParams other);

    int baudIndex1;
    int port1;
    int baudIndex2;
    int port2;
    unsigned moveDirection;
    unsigned sampleStep;        // pulses
    unsigned counterResolution; // millimetres per pulse: 1, 2, 10 or 20
    unsigned manualStep;        // pulses
    int compassOffset;          // degrees
    float declination;          // degrees
    unsigned lensType;          // 0 outer ring at the top, 1 inner ring at the top
    int startDepth;             // millimetres
    int outerRadius;            // pixels
    int innerRadius;            // pixels
    int unwrapWidth;            // columns
    float heightFactor;
    int itemsPerPage;
    unsigned captureFormat;     // 0 JPEG, 1 BMP
    unsigned templateSizeIndex; // 8, 16, 32 pixels
    int centreX;
    int centreY;
    int searchRangeIndex;       // 5, 10, 15, 20, 30, 40 columns; not corrected on load
    int aspectAutoFit;
    int holeType;
    int openingDiameter;        // millimetres
    int finalDiameter;          // millimetres
    QString collarElevation;
    QString holeNumber;
    QString holeInclination;
    QString collarCoordinates;
    QString testUnit;
    QString tester;
    QString testSite;
    QString testDate;
    QString waterLevel;
    QString coordX;
    QString coordY;
    float inclinedHoleAzimuth;  // degrees
};

// The degree-minute-second template that a new collar-coordinate field holds.
QString degreeTemplate();

// Millimetres per pulse the counter accepts; anything else loads as 1.
bool isValidCounterResolution(unsigned millimetresPerPulse);

// The stitch tables. Every reader of the two indices goes through these: an
// index outside its table gives the default entry (16 pixels, 10 columns).
int templateSizeFromIndex(long long index);
int searchRangeFromIndex(long long index);

} // namespace bc
