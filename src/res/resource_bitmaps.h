#pragma once
// The program's bitmaps by resource id: the form's background, its icons and
// the normal, hot and disabled pictures of its buttons. The pictures are drawn
// here, plainly, rather than shipped as files.

#include <QColor>
#include <QImage>

namespace bc {

enum ResourceId : int {
    IDI_MAINFRAME = 128,     // the program icon
    IDB_BACKGROUND = 129,    // the form's background tile
    IDR_CYLINDER_TOOLBAR = 131, // the cylinder window's tool bar pictures
    IDI_VIDEO = 132,         // icon of the video and stitch windows
    IDB_LIVE = 160,          // start live acquisition: 160 normal, 164 hot, 161 disabled
    IDB_LIVE_HOT = 164,
    IDB_LIVE_DISABLED = 161,
    IDB_RECORD = 165,
    IDB_RECORD_HOT = 167,
    IDB_RECORD_DISABLED = 166,
    IDB_PLAY = 168,
    IDB_PLAY_HOT = 170,
    IDB_PLAY_DISABLED = 169,
    IDB_STOP = 171,
    IDB_STOP_HOT = 173,
    IDB_STOP_DISABLED = 172,
    IDB_CAPTURE = 174,
    IDB_CAPTURE_HOT = 176,
    IDB_CAPTURE_DISABLED = 175,
    IDB_DEVICE = 177,
    IDB_DEVICE_HOT = 179,
    IDB_DEVICE_DISABLED = 180,
    IDB_STITCH = 182,
    IDB_STITCH_HOT = 184,
    IDB_STITCH_DISABLED = 183,
    IDB_KEYBOARD = 186,
    IDB_KEYBOARD_HOT = 188,
    IDB_KEYBOARD_DISABLED = 189,
};

// The bitmap of `id`, or a null image when no bitmap has that id.
QImage loadResourceBitmap(int id);

// The cylinder window's tool bar: eight pictures side by side, each
// kCylinderToolImageSize square on the mask colour kToolBarMask, in the order
// zoom in, zoom out, 1:1, BMP export, step forward, step backward, turn
// forward, turn backward; `hot` draws them as they look under the mouse.
constexpr int kCylinderToolImageSize = 16;
constexpr int kCylinderToolImages = 8;
inline const QColor kToolBarMask{192, 192, 192};
QImage cylinderToolBarBitmap(bool hot);

} // namespace bc
