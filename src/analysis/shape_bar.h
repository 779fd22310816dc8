#pragma once
// The dockable bar of the analysis frame that holds the attitude list.

#include "ui/base_cool_bar.h"

#include <functional>

namespace bc {

class CShapeGrid;
class CUnWrapData;

class CShapeBar : public CBaseCoolBar {
    Q_OBJECT
  public:
    // `dataSource` gives the frame's current data set (null when none).
    CShapeBar(const QString& title, std::function<CUnWrapData*()> dataSource,
              QWidget* parent = nullptr);
    ~CShapeBar() override;

    CShapeGrid* grid() const { return grid_; }

  private:
    CShapeGrid* grid_;
};

} // namespace bc
