#pragma once
// The program's current printer: one QPrinter for the whole program, set to the system's default
// printer when first asked for (a PDF printer where the system has none). Printer Setup changes
// it; printing and preview use it.

#include <QPrinter>

namespace tarnwick {

QPrinter& CurrentPrinter();

// Whether the system lists at least one printer.
bool PrintersInstalled();

}  // namespace tarnwick
