#include "platform/qt/qt_printer.h"

#include <QPrinterInfo>
#include <memory>

namespace tarnwick {

QPrinter& CurrentPrinter()
{
    static std::unique_ptr<QPrinter> printer;
    if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

bool PrintersInstalled() { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

}  // namespace tarnwick
