// The program's start as the main function and the tests share it: the
// application's title and icon, then the main window and the About dialog.
#pragma once

#include "aboutbox.h"
#include "disabletoolform.h"

class QApplication;

namespace kestrix {

void setUpApplication(QApplication& application);

// Both forms, created in the program's order: the main window first, then
// the About dialog, hidden. The dialog belongs to the main window, so it
// never keeps the program alive on its own.
struct ApplicationForms {
    ApplicationForms(ModuleLibrary& library, const PortProbe& portPresent);

    TDisableTool DisableTool;
    TAboutBox AboutBox;
};

} // namespace kestrix
