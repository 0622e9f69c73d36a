#pragma once
// Where the program's windows go on the screen. Rectangles are outer ones,
// window-manager frame included, so a window never runs under a screen edge
// by the height of its title bar.
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace widgets {

// Space left between a tool window and the window it stands beside.
constexpr int kBesideGap = 8;

// The frame the window manager puts round `window`: its own once it has one,
// else its owner's (same window manager, same decoration), else none.
QMargins frameMargins(const QWidget& window);

// Centres the outer frame on the full geometry of the window's screen (its
// owner's until it is shown).
void centreOnScreen(QWidget& window);

// The outer rectangle for a window of outer size `outer` beside `anchor`
// inside `available`: to the right of it when it fits there, else to its
// left, else against the edge of `available` on the roomier side. Its top is
// level with the anchor's, raised as far as needed to fit; a window larger
// than `available` is cut down to it, so the result always lies inside.
QRect besideRect(const QRect& anchor, QSize outer, const QRect& available, int gap = kBesideGap);

// Moves `tool` beside `anchor` by that rule on the available geometry of the
// anchor's screen, shrinking it to fit there (a layout keeps it no smaller
// than its minimum size).
void placeBeside(QWidget& tool, const QWidget& anchor);

// For a moment after each show of `tool` (each move or resize then, and a
// last look at its end), once the window manager has reported the frame it
// put round it: if that frame runs past the available geometry, places the
// tool beside `anchor` again. A frame guessed before it was known must not
// push the title bar or the bottom edge off the screen; later moves are the
// user's and stay.
// `settleMs`: how long after each show the frame is watched.
void placeBesideOnceFramed(QWidget& tool, QWidget& anchor, int settleMs = 1500);
// True while `tool`'s frame is still watched after a show.
bool placementSettling(const QWidget& tool);

// As placeBeside, but where the tool would cover the anchor and the screen
// holds both side by side, the anchor first moves so the pair is centred.
void placePair(QWidget& anchor, QWidget& tool);

}  // namespace widgets
