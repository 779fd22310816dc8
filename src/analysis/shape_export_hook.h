#pragma once
// The one way the attitude list reaches its workbook export, so that the list
// does not depend on how the workbook is written. Until an exporter is
// installed the export does nothing.

#include <functional>

namespace bc {

class CUnWrapData;

// Exports the attitudes of `data` through the installed exporter.
void exportShapesToExcel(const CUnWrapData& data);

using ShapeListExporter = std::function<void(const CUnWrapData&)>;
// Installs `exporter` (empty: none) and returns the previous one.
ShapeListExporter setShapeListExporter(ShapeListExporter exporter);

} // namespace bc
