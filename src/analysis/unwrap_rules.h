#pragma once
// The value rules of the unwrap-parameter bar and the raw-frame view, with no
// widget: the unwrap width, the cut radii, the height factor, the largest
// outer radius that fits around the centre, and the checks of the centre.

#include <QString>

namespace bc {

class CSurveyParams;

// "%d 象素"; reading takes the leading number.
QString pixelText(int pixels);
int pixelsFromText(const QString& text);

// A centre and the largest radius a ring around it may have in the frame.
struct CentreFit {
    int x = 0;
    int y = 0;
    int maxRadius = 0;     // already 4 pixels inside the nearest edge, never below 0
    bool accepted = false; // false: the centre was moved to the frame's middle
};

// Where the view puts a centre asked for on a frameWidth x frameHeight frame:
// (x, y) when a ring of at least 15 pixels fits, else the frame's middle.
CentreFit fitCentre(int x, int y, int frameWidth, int frameHeight);

// Checks the settings' centre against the frame as a new bar does: a centre
// too near the edge moves to the middle, and an outer radius beyond the
// largest one is cut down to it (the inner radius then becomes 40, or 10 when
// the outer is 40 or less). Returns the largest outer radius that now holds:
// the fitted one for an accepted centre, else `currentMax`. An unknown frame
// size (0) leaves the centre as it is.
int validateSettingsCentre(CSurveyParams& settings, int frameWidth, int frameHeight,
                           int currentMax);

class UnwrapRules {
  public:
    static constexpr int kMinRadius = 10;
    static constexpr int kMinWidth = 60;
    static constexpr int kMaxWidth = 1800;
    static constexpr int kSpinMinWidth = 50;
    static constexpr float kMaxFactor = 20.0f;

    UnwrapRules(int inner, int outer, int width, float factor, int maxRadius);

    int inner() const { return inner_; }
    int outer() const { return outer_; }
    int width() const { return width_; }
    float factor() const { return factor_; }
    int maxRadius() const { return maxRadius_; }

    // The change handlers: each corrects the typed value or the spin's step
    // (delta of +1 or -1 per click) and keeps it.
    void typeWidth(int typed);
    void stepWidth(int delta);
    void typeOuter(int typed);
    void stepOuter(int delta);
    void typeInner(int typed);
    void stepInner(int delta);
    // False (factor unchanged) for a text that is not a number within 0..20.
    bool typeFactor(const QString& typed);

    // A new largest radius moves the outer radius to it and keeps the inner
    // one at most there. False when it equals the current one.
    bool setMaxRadius(int radius);

  private:
    int inner_;
    int outer_;
    int width_;
    float factor_;
    int maxRadius_;
};

} // namespace bc
