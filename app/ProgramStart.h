#pragma once

#include "app/Fmain.h"

#include <filesystem>

class QApplication;

struct ProgramServices {
    FormMainServices form;
    std::filesystem::path lockFile;
};

// Refuses a second copy, builds the windows, runs the event loop until the main window closes,
// shows any exception that escapes, and always returns 0.
int RunProgram(QApplication& app, const ProgramServices& services);
