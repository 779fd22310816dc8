#include "analysis/shape_bar.h"

#include "analysis/shape_grid.h"

namespace bc {

CShapeBar::CShapeBar(const QString& title, std::function<CUnWrapData*()> dataSource,
                     QWidget* parent)
    : CBaseCoolBar(title, parent)
{
    // The list fills the bar below its caption strip.
    grid_ = new CShapeGrid(this);
    grid_->setFrameShape(QFrame::Box);
    grid_->setFocusPolicy(Qt::StrongFocus);
    grid_->setDataSource(std::move(dataSource));
    setWidget(grid_);
    grid_->Setup();
    grid_->FillFromData();
}

CShapeBar::~CShapeBar() = default;

} // namespace bc
