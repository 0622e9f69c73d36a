#pragma once
// What every window of the program shares: its font, the fixed frame of a
// window the user cannot resize, and a focus frame that is plain to see.
#include <QFont>

class QWidget;

namespace widgets {

// Liberation Sans: its metrics are close to the ones the window layouts were
// drawn for, and it is always installed with the program.
extern const QString kFontFamily;
QFont uiFont(qreal points, bool bold = true);

// A fixed single border: title, system menu and close box; a minimize box
// only for the main window; no maximize, no resizing. Dialogs stay dialogs.
void fixWindowFrame(QWidget& window, bool minimizeBox);

// Installs, once, the application style that draws a clear two-pixel frame
// around the control with the keyboard focus (buttons, options, fields).
void installFocusFrameStyle();

}  // namespace widgets
