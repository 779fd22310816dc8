#include "analysis/page_tool_bar.h"

#include "analysis/shape_type_combo.h"
#include "analysis/unwrap_frame_ids.h"
#include "ui/flat_combo_box.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QLineEdit>

#include <algorithm>
#include <climits>

namespace bc {

int ParseSignedInt(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    while (i < n && text[i] != u'-' && text[i] != u'+' && !isDigit(text[i]))
        ++i;
    if (i == n)
        return 0;
    const bool negative = text[i] == u'-';
    if (text[i] == u'-' || text[i] == u'+')
        ++i;
    // The magnitude stops growing at the largest one an int can carry.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; i < n && isDigit(text[i]); ++i)
        value = std::min(limit, value * 10 + (text[i].unicode() - u'0'));
    return static_cast<int>(negative ? -value : value);
}

QString PageBoxText(int current, int count)
{
    return QStringLiteral("第%1页/共%2页").arg(static_cast<long long>(current) + 1).arg(count);
}

int PageFromBoxText(QStringView text, int count)
{
    const long long page = static_cast<long long>(ParseSignedInt(text)) - 1;
    return static_cast<int>(std::clamp<long long>(page, 0, std::max(count, 1) - 1));
}

CPageToolBar::CPageToolBar(bool disabled, QWidget* parent)
    : CFlatToolBar(parent), disabled_(disabled)
{
    setContentsMargins(2, 2, 2, 2);
}

QAction* CPageToolBar::addCommand(int id, const QIcon& icon, const QString& tip)
{
    QAction* action = addAction(icon, tip);
    action->setData(id);
    return action;
}

QAction* CPageToolBar::commandAction(int id) const
{
    for (QAction* action : actions())
        if (!action->isSeparator() && action->data().toInt() == id)
            return action;
    return nullptr;
}

bool CPageToolBar::placeControl(int id, QWidget* control, int width)
{
    QAction* place = commandAction(id);
    if (!place) {
        delete control;
        return false;
    }
    control->setFixedWidth(width);
    QAction* action = insertWidget(place, control);
    action->setData(id);
    removeAction(place);
    delete place;
    return true;
}

bool CPageToolBar::CreateControls()
{
    pageBox_ = new QLineEdit(this);
    pageBox_->setAlignment(Qt::AlignCenter);
    pageBox_->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    if (!placeControl(ID_PAGE_BOX, pageBox_, kPageBoxWidth)) {
        pageBox_ = nullptr;
        return false;
    }
    lineStyle_ = new CLineStyleComboBox(this);
    lineWidth_ = new CLineWidthComboBox(this);
    colour_ = new CColorPickerCombo(this);
    shapeType_ = new CShapeTypeComboBox(this);
    const bool placed = placeControl(ID_LINE_STYLE, lineStyle_, kComboWidth) &&
                        placeControl(ID_LINE_WIDTH, lineWidth_, kComboWidth) &&
                        placeControl(ID_LINE_COLOR, colour_, kComboWidth) &&
                        placeControl(ID_SHAPE_TYPE, shapeType_, kShapeTypeWidth);
    if (!placed)
        return false;

    pageBox_->installEventFilter(this);
    connect(pageBox_, &QLineEdit::returnPressed, this, &CPageToolBar::OnPageBoxKillFocus);
    connect(lineStyle_, &QComboBox::activated, this,
            [this] { lineWidth_->SetLineStyle(lineStyle_->currentIndex()); });
    connect(colour_, &QComboBox::activated, colour_, &CColorPickerCombo::OnSelectColor);
    connect(shapeType_, &QComboBox::activated, this,
            [this] { emit shapeTypeChosen(shapeType_->GetShapeType()); });
    updateText();

    if (disabled_) {
        for (QWidget* control : {static_cast<QWidget*>(pageBox_), static_cast<QWidget*>(lineStyle_),
                                 static_cast<QWidget*>(lineWidth_), static_cast<QWidget*>(colour_),
                                 static_cast<QWidget*>(shapeType_)})
            control->setEnabled(false);
        for (int id : {ID_FIRST_PAGE, ID_PREV_PAGE, ID_NEXT_PAGE, ID_LAST_PAGE})
            if (QAction* action = commandAction(id))
                action->setEnabled(false);
    }
    return true;
}

void CPageToolBar::updateText()
{
    if (pageBox_)
        pageBox_->setText(PageBoxText(currentPage_, pageCount_));
}

void CPageToolBar::SetPageCount(int count)
{
    pageCount_ = std::max(count, 0);
    currentPage_ = 0;
    updateText();
}

void CPageToolBar::ShowViewPage(int page, int count)
{
    pageCount_ = std::max(count, 0);
    // Without a document the box reads as after a count of 0.
    currentPage_ = std::max(page, 0);
    updateText();
}

void CPageToolBar::showPage(int page)
{
    currentPage_ = page;
    updateText();
    emit pageRequested(page);
}

void CPageToolBar::FirstPage()
{
    if (pageCount_ > 0)
        showPage(0);
}

void CPageToolBar::PrevPage()
{
    if (pageCount_ > 0)
        showPage(std::max(currentPage_ - 1, 0));
}

void CPageToolBar::NextPage()
{
    if (pageCount_ > 0)
        showPage(std::min(currentPage_ + 1, pageCount_ - 1));
}

void CPageToolBar::LastPage()
{
    if (pageCount_ > 0)
        showPage(pageCount_ - 1);
}

void CPageToolBar::OnPageBoxKillFocus()
{
    if (pageCount_ <= 0 || !pageBox_)
        return;
    showPage(PageFromBoxText(pageBox_->text(), pageCount_));
}

bool CPageToolBar::eventFilter(QObject* watched, QEvent* event)
{
    // A window that closes (or is destroyed) takes the focus from the box
    // too: that is no page request.
    if (watched == pageBox_ && event->type() == QEvent::FocusOut && !window()->isHidden())
        OnPageBoxKillFocus();
    return CFlatToolBar::eventFilter(watched, event);
}

void CPageToolBar::GetDrawSettings(int* style, int* width, COLORREF* colour) const
{
    if (style)
        *style = lineStyle_ ? lineStyle_->GetLineStyle() : PS_SOLID;
    if (width)
        *width = lineWidth_ ? lineWidth_->GetLineWidth() : 0;
    if (colour)
        *colour = colour_ ? colour_->GetColor() : RGB(0, 0, 0);
}

} // namespace bc
