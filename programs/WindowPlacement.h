// Each program's window comes back where it was put: its position is saved in
// the user's settings when the program ends and restored at the next start.
#pragma once

#include <string>

#include "Settings.h"

// Reads "X,Y" (two whole numbers in screen coordinates) into *x and *y.
bool parsePosition(const std::string& text, int* x, int* y);
std::string formatPosition(int x, int y);

// The settings key of a program's window position.
std::string positionKey(const char* program);

// Makes the program's window open at its saved position, when one is saved
// and readable; call before the window is created. A position on no monitor
// is left out when the window opens.
void restoreWindowPosition(ProgramSettings& settings);

// Saves where the program's window is, for its next start.
template <class Controller>
void saveWindowPosition(ProgramSettings& settings, Controller& controller)
{
    int x = 0, y = 0;
    controller.getWindowPosition(&x, &y);
    settings.store(positionKey(settings.program()), formatPosition(x, y));
}
