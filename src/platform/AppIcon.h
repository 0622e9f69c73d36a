#pragma once
// The program's icon, drawn at run time so no image file has to ship with it.
// The same drawing renders the installed icon theme's PNGs at build time.
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace platform {

// side x side, blue on white, fully opaque; sizes other than 32 scale the
// frame, the wave and its stroke with it.
QImage appIconImage(int side);

// 32 x 32. Both need a QGuiApplication to exist.
QPixmap appIconPixmap();
QIcon appIcon();

}  // namespace platform
