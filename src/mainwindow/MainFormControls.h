#pragma once
// The main window's controls by name, for the start-up code and the tests.
#include "ui_MainForm.h"  // IWYU pragma: export
