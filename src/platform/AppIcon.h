#pragma once
// The program's icon, drawn at run time so no image file has to ship with it.
// Both need a QGuiApplication to exist.
#include <QIcon>
#include <QPixmap>

namespace platform {

// 32 x 32, blue on white, fully opaque.
QPixmap appIconPixmap();
QIcon appIcon();

}  // namespace platform
