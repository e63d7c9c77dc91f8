#include "app/about_box.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QOperatingSystemVersion>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_MACOS) || defined(Q_OS_FREEBSD) || defined(Q_OS_NETBSD) || defined(Q_OS_OPENBSD)
#include <sys/sysctl.h>
#include <sys/types.h>
#endif

#ifndef TARNWICK_FILE_VERSION
#define TARNWICK_FILE_VERSION ""
#endif

// The program's pictures live in the platform library's resources: registered before the first
// use (outside any namespace, as Q_INIT_RESOURCE requires).
static QPixmap ProgramIconPixmap()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
    return QPixmap(QStringLiteral(":/tarnwick"));
}

namespace tarnwick::ui {

QIcon ProgramIcon() { return QIcon(ProgramIconPixmap()); }

namespace about {

namespace {

// A kernel type as its makers write it: "linux" becomes "Linux".
QString KernelName(const QString& type)
{
    static const struct {
        const char* type;
        const char* name;
    } known[] = {{"linux", "Linux"},   {"darwin", "Darwin"},   {"freebsd", "FreeBSD"},
                 {"netbsd", "NetBSD"}, {"openbsd", "OpenBSD"}, {"winnt", "Windows NT"}};
    for (const auto& k : known)
        if (type == QLatin1String(k.type)) return QString::fromLatin1(k.name);
    if (type.isEmpty()) return type;
    return type.at(0).toUpper() + type.mid(1);
}

}  // namespace

QString FileVersion() { return QStringLiteral(TARNWICK_FILE_VERSION); }

QString OsLine(const SystemDescription& system)
{
    if (system.major >= 0 && system.minor >= 0) {
        QString line = QStringLiteral("%1 %2.%3").arg(system.name).arg(system.major).arg(system.minor);
        if (system.build >= 0) {
            line += QStringLiteral(" (Build %1").arg(system.build);
            if (!system.servicePack.isEmpty()) line += QStringLiteral(": ") + system.servicePack;
            line += u')';
        }
        return line;
    }
    if (system.kernel.isEmpty()) return system.name;
    if (system.name.isEmpty()) return system.kernel;
    return QStringLiteral("%1 (%2)").arg(system.name, system.kernel);
}

SystemDescription CurrentSystem()
{
    SystemDescription system;
    system.name = QSysInfo::prettyProductName();
#if defined(Q_OS_WIN)
    // The version the system itself reports, not the one it shows programs without a manifest.
    using RtlGetVersionFunction = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion && rtlGetVersion(&info) == 0) {
        system.major = static_cast<int>(info.dwMajorVersion);
        system.minor = static_cast<int>(info.dwMinorVersion);
        system.build = static_cast<int>(info.dwBuildNumber);
        system.servicePack = QString::fromWCharArray(info.szCSDVersion);
    } else {
        const QOperatingSystemVersion v = QOperatingSystemVersion::current();
        system.major = v.majorVersion();
        system.minor = v.minorVersion();
        system.build = v.microVersion();
    }
#else
    system.kernel = (KernelName(QSysInfo::kernelType()) + u' ' + QSysInfo::kernelVersion()).trimmed();
#endif
    return system;
}

QString SystemFamily()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("Windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macOS");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("Linux");
#else
    return KernelName(QSysInfo::kernelType());
#endif
}

QString FormatKb(std::uint64_t kilobytes, const QLocale& locale)
{
    QString separator = locale.groupSeparator();
    if (separator.isEmpty()) separator = QStringLiteral(",");
    const QString digits = QString::number(kilobytes);
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits.at(i);
    }
    return out + QStringLiteral(" Kb");
}

std::optional<std::uint64_t> MemTotalKb(const QByteArray& meminfo)
{
    for (const QByteArray& line : meminfo.split('\n')) {
        if (!line.startsWith("MemTotal:")) continue;
        QByteArray value = line.mid(9).trimmed();
        const bool inKb = value.endsWith(" kB");
        if (inKb) value.chop(3);
        bool ok = false;
        const std::uint64_t n = value.trimmed().toULongLong(&ok);
        if (!ok) return std::nullopt;
        return inKb ? n : n / 1024;  // a number without its unit is in bytes
    }
    return std::nullopt;
}

std::optional<std::uint64_t> PhysicalMemoryKb()
{
#if defined(Q_OS_WIN)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
    return status.ullTotalPhys / 1024;
#elif defined(Q_OS_MACOS)
    std::uint64_t bytes = 0;
    std::size_t size = sizeof bytes;
    if (sysctlbyname("hw.memsize", &bytes, &size, nullptr, 0) != 0) return std::nullopt;
    return bytes / 1024;
#elif defined(Q_OS_FREEBSD) || defined(Q_OS_NETBSD) || defined(Q_OS_OPENBSD)
    unsigned long bytes = 0;
    std::size_t size = sizeof bytes;
    if (sysctlbyname("hw.physmem", &bytes, &size, nullptr, 0) != 0) return std::nullopt;
    return bytes / 1024;
#else
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return MemTotalKb(file.read(64 * 1024));
#endif
}

QString MemoryLine(const QString& family, std::optional<std::uint64_t> kilobytes, const QLocale& locale)
{
    return QStringLiteral("Memory available to %1: %2")
        .arg(family, kilobytes ? FormatKb(*kilobytes, locale) : QStringLiteral("unknown"));
}

}  // namespace about

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    const QString title = QStringLiteral("Tarnwick");
    setWindowTitle(QStringLiteral("About %1").arg(title));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(ProgramIcon());

    constexpr int left = 12;
    constexpr int textLeft = 56;
    constexpr int right = kClientWidth - 12;

    Image1 = new QLabel(this);
    Image1->setGeometry(left, 12, 32, 32);
    Image1->setPixmap(ProgramIconPixmap());

    lbTitle = new QLabel(title, this);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    lbTitle->setFont(titleFont);
    QPalette red = lbTitle->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lbTitle->setPalette(red);
    lbTitle->setGeometry(textLeft, 8, right - textLeft, 30);

    lbVersion = new QLabel(QStringLiteral("Version %1").arg(about::FileVersion()), this);
    lbVersion->setGeometry(textLeft, 40, right - textLeft, 18);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(left, 70, right - left, 4);

    // The system's name may be long: two lines of room, the kernel on the second when the line
    // does not fit on one.
    const about::SystemDescription system = about::CurrentSystem();
    QString osText = about::OsLine(system);
    OS = new QLabel(this);
    OS->setWordWrap(true);
    OS->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    OS->setGeometry(left, 82, right - left, 34);
    if (!system.kernel.isEmpty() && QFontMetrics(OS->font()).horizontalAdvance(osText) > OS->width())
        osText.replace(QStringLiteral(" (") + system.kernel + u')', QStringLiteral("\n(") + system.kernel + u')');
    OS->setText(osText);

    PhysMem = new QLabel(about::MemoryLine(about::SystemFamily(), about::PhysicalMemoryKb()), this);
    PhysMem->setGeometry(left, 116, right - left, 18);

    // Default and cancel button: Enter and Escape both close the box.
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    OKButton->setGeometry((kClientWidth - 75) / 2, 146, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

}  // namespace tarnwick::ui
