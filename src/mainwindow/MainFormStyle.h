#pragma once
// The parts of the main window's look that the form file cannot hold:
// fractional point sizes, text colours, the icon and the window's frame.
class QMainWindow;
namespace Ui {
class MainForm;
}

// Call once, right after setupUi() and before the window is shown.
void styleMainForm(Ui::MainForm& ui, QMainWindow& w);
