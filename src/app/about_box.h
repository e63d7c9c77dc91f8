#pragma once
// The about box of Help > About: the program's icon and title, its version, the operating system
// and the physical memory, and an OK button.
//
// Showing it (the frame's About action):
//
//     TAboutBox box(this);
//     box.exec();
//
// The program icon (resource ":/tarnwick" / ProgramIcon()) also serves as the windows' icon.

#include <QDialog>
#include <QIcon>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;

namespace tarnwick::ui {

// The program's icon, 32 x 32 pixels.
QIcon ProgramIcon();

namespace about {

// What the about box says of the operating system.
struct SystemDescription {
    QString name;    // "Windows 10 Version 22H2", "Debian GNU/Linux 12 (bookworm)"
    int major = -1;  // version numbers; -1 where the system gives none
    int minor = -1;
    int build = -1;
    QString servicePack;  // empty when there is none
    QString kernel;       // kernel type and version, "Linux 6.1.0-18-amd64"; used without numbers
};

// The program's version in four parts, "MAJOR.MINOR.PATCH.TWEAK" (from the build).
QString FileVersion();
// The operating-system line: "name M.m (Build b: service pack)", "name M.m (Build b)" or
// "name M.m" when the system gives version numbers; else "name (kernel)", or the name alone.
QString OsLine(const SystemDescription& system);
// The system the program runs on.
SystemDescription CurrentSystem();
// The family the memory line names: "Windows", "Linux", "macOS", ...
QString SystemFamily();
// Kilobytes with thousands separators and " Kb": 4194304 gives "4,194,304 Kb" (the separator is
// the locale's; a locale that groups no digits, such as C, still gets ",").
QString FormatKb(std::uint64_t kilobytes, const QLocale& locale = QLocale());
// The "MemTotal:" line of /proc/meminfo, in KB; nothing when there is none.
std::optional<std::uint64_t> MemTotalKb(const QByteArray& meminfo);
// The total physical memory in KB as the system reports it; nothing when it cannot be read.
std::optional<std::uint64_t> PhysicalMemoryKb();
// "Memory available to <family>: <n> Kb" ("unknown" in place of the number when it is not known).
QString MemoryLine(const QString& family, std::optional<std::uint64_t> kilobytes, const QLocale& locale = QLocale());

}  // namespace about

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The parts of the box, named as in its layout.
    QLabel* Image1 = nullptr;
    QLabel* lbTitle = nullptr;
    QLabel* lbVersion = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* OS = nullptr;
    QLabel* PhysMem = nullptr;
    QPushButton* OKButton = nullptr;

    static constexpr int kClientWidth = 351;
    static constexpr int kClientHeight = 183;
};

}  // namespace tarnwick::ui
