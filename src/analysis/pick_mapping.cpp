#include "analysis/pick_mapping.h"

#include "analysis/page_geometry.h"
#include "analysis/unwrap_data.h"
#include "core/c_number.h"

namespace bc {

PickScale PickScaleOf(const PageViewState& state)
{
    return {state.pageTopDepth, state.pageBottomDepth, PixelsPerRadian(state.pageWidth),
            state.pxPerMm};
}

CShapePoint PickToWall(const QPoint& logical, const PageViewState& state)
{
    return WallPointAt(logical.x(), logical.y(), state.pageWidth, state.pxPerMm,
                       state.pageTopDepth);
}

AttitudeInputs AttitudeInputsOf(const CUnWrapData& data, float declination)
{
    const SfaHeader& h = data.header();
    return {h.openingDiameter, static_cast<float>(leadingDouble(h.holeInclination)),
            h.inclinedHoleDipDirection, declination};
}

} // namespace bc
