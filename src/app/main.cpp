// tarnwick: the editor for SQL scripts that serve several SQL versions.
//
//   tarnwick [FILE]
//   tarnwick --help | --version

#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/about_box.h"
#include "app/frame_form.h"
#include "documents/replace_dialog.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION ""
#endif

namespace {

constexpr const char* kHelp =
    "Usage: tarnwick [FILE]\n"
    "       tarnwick --help | --version\n"
    "\n"
    "Opens the frame window with the SQL script FILE, or with one untitled script.\n"
    "Use -- before a FILE whose name starts with a dash.\n"
    "\n"
    "The version table (tarnwick.edf), the conditional defines (tarnwick.cdf), the code\n"
    "templates (tarnwick.tpl) and the auto-replace entries (tarnwick.arp) are read from the\n"
    "folder named by TARNWICK_CONFIG_DIR, else from the program's folder; an installed program\n"
    "uses ~/.config/Corvanti/Tarnwick instead. The user manual is tarnwick.html, opened by\n"
    "Help > Contents.\n"
    "\n"
    "While a script has unsaved changes, its text is kept in the user's data folder\n"
    "(~/.local/share/Corvanti/Tarnwick/recovery); after a crash the next start offers to\n"
    "restore it.\n";

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any window exists, so that they work without a display.
    int first = 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tarnwick %s\n", TARNWICK_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (argc > 1 && std::strcmp(argv[1], "--") == 0) first = 2;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanti"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarnwick"));
    QApplication::setWindowIcon(tarnwick::ui::ProgramIcon());

    // The frame, then the replace confirmation all edit windows share.
    // Unsaved texts are kept for recovery in the user's data folder.
    tarnwick::ui::FrameSetup setup;
    setup.recoveryFolder = tarnwick::ui::DefaultRecoveryFolder();
    tarnwick::ui::TFrameForm frame(setup);
    tarnwick::ui::TFormConfirmReplace::CreateShared(&frame);
    frame.show();
    // The file as the command line names it: QApplication may have taken its own options out
    // of argv (-style, -platform), so the name is read from what it left.
    const QStringList arguments = QApplication::arguments();
    const int at = first == 2 && arguments.size() > 1 && arguments.at(1) == QStringLiteral("--") ? 2 : 1;
    frame.FormShow(arguments.size() > at ? arguments.at(at) : QString());
    return QApplication::exec();
}
