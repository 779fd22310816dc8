#pragma once
// The pictures of the analysis frame's bars, drawn here rather than shipped:
// the tool bar's buttons (normal and hot, one 21 x 21 image a button on the
// mask colour RGB(192, 192, 192)) and the attitude bar's caption buttons
// (13 x 13 images on the mask colour RGB(0, 255, 0)).

#include <QIcon>
#include <QImage>
#include <QList>

namespace bc {

// The commands with a picture on the tool bar, in the order of their images.
const QList<int>& frameToolBarButtons();
constexpr int kToolImageSize = 21;
enum class ToolLook { Normal, Hot, Disabled };
QImage frameToolBarBitmap(ToolLook look);

constexpr int kCaptionImageSize = 13;
// Close, dock (docked at the top or bottom), dock (docked at a side).
QImage attitudeBarButtonBitmap();
// The images of a bitmap cut `width` pixels apart, `mask` transparent.
QList<QIcon> cutImageList(const QImage& bitmap, int width, const QColor& mask);

} // namespace bc
