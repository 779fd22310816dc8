#include "analysis/shape_export_hook.h"

namespace bc {

namespace {

ShapeListExporter& installedExporter()
{
    static ShapeListExporter exporter;
    return exporter;
}

} // namespace

void exportShapesToExcel(const CUnWrapData& data)
{
    if (const ShapeListExporter& exporter = installedExporter())
        exporter(data);
}

ShapeListExporter setShapeListExporter(ShapeListExporter exporter)
{
    ShapeListExporter previous = std::move(installedExporter());
    installedExporter() = std::move(exporter);
    return previous;
}

} // namespace bc
