#include "mainwindow/MainFormStyle.h"

#include "platform/AppIcon.h"
#include "ui_MainForm.h"
#include "widgets/WindowStyle.h"

#include <QFont>
#include <QLayout>
#include <QPalette>
#include <initializer_list>

namespace {

using widgets::uiFont;
const QColor kBlue(0, 0, 255);

// Every control gets its own font: a group box would otherwise pass its
// caption size down to the buttons inside it.
void setFonts(std::initializer_list<QWidget*> widgets, const QFont& font) {
    for (QWidget* w : widgets) w->setFont(font);
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

}  // namespace

void styleMainForm(Ui::MainForm& ui, QMainWindow& w) {
    const QFont small = uiFont(8.25);
    const QFont large = uiFont(9.75);

    // Containers first, so that their own change cannot reach a child set below.
    setFonts({ui.Frame1, ui.Frame2}, small);
    setFonts({ui.Frame3, ui.Frame4}, large);

    setFonts({ui.Command1, ui.Command2, ui.Command3, ui.Command4, ui.Command5, ui.Command6,
              ui.Command7, ui.Command8, ui.Command11, ui.Command12, ui.Command13, ui.Command14,
              ui.Command15},
             small);
    setFonts({ui.Option1, ui.Option2, ui.Option3D1, ui.Option3D2, ui.Option3D3, ui.Option3D4,
              ui.Option3D5, ui.Option3D6},
             small);
    setFonts({ui.Text1, ui.Text2, ui.Text3, ui.Text4, ui.Text5, ui.Text6, ui.Text7}, large);
    setFonts({ui.Label1, ui.Label2, ui.Label3, ui.Label4, ui.Label5, ui.Label6, ui.Label7,
              ui.Label8, ui.Label9, ui.Label10, ui.Label11, ui.Label12, ui.Label20, ui.Label21},
             large);

    setFonts({ui.Label15, ui.Label19}, small);
    ui.Label18->setFont(uiFont(13.5));

    // The logo glyph is outside Liberation Sans; name a face that has it so
    // the choice does not depend on the fallback order.
    QFont logo = uiFont(21.75, false);
    logo.setFamilies({QStringLiteral("DejaVu Sans"), widgets::kFontFamily});
    setFonts({ui.Label16, ui.Label17}, logo);

    for (QWidget* label : {ui.Label15, ui.Label19, ui.Label18, ui.Label16, ui.Label17})
        setTextColour(label, kBlue);

    // The classic inactive-caption grey and window white; the banner hides them.
    setTextColour(ui.Line1, QColor(128, 128, 128));
    setTextColour(ui.Line2, Qt::white);

    w.setWindowIcon(platform::appIcon());

    widgets::fixWindowFrame(w, true);
    widgets::installFocusFrameStyle();
}
