#pragma once
// Keeping windows on the screen: every window and dialog the program opens
// lies within the available area of the screen its owner is on. A window is
// moved as little as it takes, and made smaller only where the screen is
// smaller than the window.

#include <QMargins>
#include <QRect>

class QWidget;

namespace bc {

// `frame` moved so that it lies within `available`; where it is wider or
// taller than `available` it is cut to it. An empty `available` leaves the
// frame as it is.
QRect placedWithin(const QRect& frame, const QRect& available);

// The available area (the screen less its panels) of the screen the owner of
// `window` is on: its parent's window's screen, else its own.
QRect availableAreaFor(const QWidget* window);

// The decorations (title bar and borders) around `window`: its own once it is
// shown, else those of the nearest owner up its chain that is shown; none when
// nothing is known.
QMargins knownFrameMargins(const QWidget* window);

// Places the top-level `window` within availableAreaFor(window), its frame
// (title bar and borders) included. A window not positioned yet starts
// centred on its owner (or on the screen), where the window system would put
// it. Frame margins not known yet (before the first show) are taken as
// knownFrameMargins says. Full-screen and maximised windows are left alone, and so is a
// window not shown: it is placed when it is shown (keepOnScreenWhenShown).
void keepOnScreen(QWidget* window);

// Places `window` as keepOnScreen does whenever the program shows it, after
// the window's own handling of its showing and before it appears.
void keepOnScreenWhenShown(QWidget* window);

// Centres the top-level `window` on its owner (or on the screen), within the
// available area, now and whenever the program shows it again at another
// size. Called before the window is first shown, it goes on the screen where
// it stays: its client rectangle is set, so neither the window system nor Qt
// moves it once its frame is known (a dialog left to Qt is placed by its
// frame's corner and moved by the frame's height when the frame arrives).
void centreOnOwner(QWidget* window);

} // namespace bc
