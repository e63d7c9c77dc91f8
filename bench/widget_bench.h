#pragma once
// The steps that bench_widget (our editor widget) and bench_widget_qscintilla (the peer) run
// alike, so that both are measured by the same code: the arguments, the script file, the window,
// the keystrokes, the clocks, the memory readings and the printed results. Each program supplies
// only what is its editor's own: how to load a file and where its caret and first visible line
// are.
//
// Each measure and its exact method:
//
//  1. load_first_screen_ms: the clock starts before the file is opened; the editor reads the
//     whole file (its own file loading); pending events are processed once
//     (QApplication::processEvents); viewport()->repaint() paints the first screen
//     synchronously; the clock stops when repaint() returns. rss_after_load_mib is VmRSS read
//     right after.
//  2. goto_end_ms / goto_middle_ms (for information): the caret is put at the end of the text /
//     the start of the middle line through the editor's own interface, which scrolls it into
//     view; then repaint() as above. The first paint of a place far down may have to colour the
//     text above it first.
//  3. key_end_* / key_middle_*: KEYS keystrokes (default 200) at the end of the text and at the
//     start of the middle line, cycling through "select x from t; " (no line breaks). Each one is
//     timed from sending a QKeyEvent (QEvent::KeyPress, the key code and its text) to the editor
//     widget with QApplication::sendEvent, through viewport()->repaint() (the whole visible page),
//     to QCoreApplication::sendPostedEvents() (a paint the editor asked for later is part of the
//     keystroke too). Median and worst. Between two keystrokes, untimed, posted events are sent
//     again; timers (an editor's background work, the caret's blinking) do not run in this phase,
//     so work left for later is not hidden from the clock.
//     key_dirty_* (for information): KEYS more keystrokes at the end, each timed from sending the
//     QKeyEvent through QCoreApplication::sendPostedEvents() alone, with no forced repaint: what
//     the editor marked for repainting (its changed lines and caret) is painted, as the event loop
//     would paint it.
//  4. pagedown_*: from the top of the text (caret on the first line, one untimed repaint), a Page
//     Down key (QKeyEvent Qt::Key_PageDown sent to the widget), viewport()->repaint() and
//     sendPostedEvents(), timed as one frame, until the first visible line stops moving (the
//     frame that does not move is not counted) or PAGES frames have been timed (PAGES 0, the
//     default, means the whole document). Median and worst per frame, and their sum.
//  5. peak_mib: VmHWM from /proc/self/status at the end of the run.
//
// The window: the editor widget itself is the top-level window, 1920 x 1080, shown, active and
// focused, on whatever platform QT_QPA_PLATFORM names (the programs set "offscreen" when it is
// not set).
//
// Every timed measure is wall-clock time (std::chrono::steady_clock), printed as NAME_ms; beside it
// NAME_cpu_ms is the process CPU time (CLOCK_PROCESS_CPUTIME_ID, all threads) of the same span,
// which another process taking the processor does not inflate.
//
// Results are printed as "RESULT NAME VALUE" lines (milliseconds, MiB or counts), for scripts;
// "CHECK" lines tell what the run saw of the text, and a failed check exits with status 1.

#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script_generator.h"

namespace tarnwick::bench::widget {

inline constexpr int kWidth = 1920;
inline constexpr int kHeight = 1080;
inline constexpr const char* kFontFamily = "Courier New";
inline constexpr int kFontPoints = 10;
inline constexpr std::string_view kTyped = "select x from t; ";

struct Arguments {
    std::uint64_t size = std::uint64_t(100) << 20;
    std::string file;  // an existing script; otherwise one of `size` bytes is generated
    int keys = 200;
    std::int64_t pages = 0;  // 0: the whole document
};

inline void Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [SIZE] [--file SCRIPT] [--keys N] [--pages N]\n"
                 "  SIZE     generated script size (default 100M; K, M, G suffixes)\n"
                 "  --file   measure this script instead of generating one\n"
                 "  --keys   keystrokes at each place (default 200)\n"
                 "  --pages  Page Down frames to time (default 0: the whole document)\n",
                 program);
}

inline std::optional<Arguments> ParseArguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto number = [&](std::int64_t& out, std::int64_t min) {
            char* end = nullptr;
            const long long v = std::strtoll(argv[i + 1], &end, 10);
            if (!end || *end || v < min) return false;
            out = v;
            ++i;
            return true;
        };
        std::int64_t n = 0;
        if (arg == "--file" && hasValue) {
            a.file = argv[++i];
        } else if (arg == "--keys" && hasValue) {
            if (!number(n, 1) || n > 100000) return std::nullopt;
            a.keys = static_cast<int>(n);
        } else if (arg == "--pages" && hasValue) {
            if (!number(n, 0)) return std::nullopt;
            a.pages = n;
        } else if (!arg.empty() && arg[0] != '-') {
            const auto size = ParseByteSize(arg);
            if (!size) return std::nullopt;
            a.size = *size;
        } else {
            return std::nullopt;
        }
    }
    return a;
}

// The script to load: the one named, or a generated one in a temporary folder that goes when the
// object does.
class ScriptFile {
public:
    explicit ScriptFile(const Arguments& a)
    {
        if (!a.file.empty()) {
            path_ = a.file;
            return;
        }
        dir_ = std::filesystem::temp_directory_path() /
               ("tarnwick-bench-widget-" + std::to_string(static_cast<long long>(::getpid())));
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "script.sql").string();
        ScriptOptions options;
        options.targetBytes = a.size;
        if (!WriteScriptFile(path_, options)) {
            std::fprintf(stderr, "cannot write the generated script %s\n", path_.c_str());
            std::exit(2);
        }
    }
    ~ScriptFile()
    {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    const std::string& Path() const { return path_; }
    std::uint64_t Bytes() const { return std::filesystem::file_size(path_); }

private:
    std::filesystem::path dir_;
    std::string path_;
};

// A line of /proc/self/status ("VmRSS", "VmHWM") in MiB.
inline double StatusMiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::strtod(line.c_str() + prefix.size(), nullptr) / 1024.0;  // kB
    }
    return -1;
}

// What the measurements need of an editor.
struct Editor {
    QWidget* widget = nullptr;    // the top-level editor widget: receives the keys
    QWidget* viewport = nullptr;  // the area painted
    std::function<void(const std::string& path)> load;
    std::function<std::int64_t()> lineCount;
    std::function<std::int64_t()> length;  // characters (or bytes) the editor holds
    std::function<std::int64_t()> topLine;
    std::function<void()> caretToEnd;
    std::function<void(std::int64_t line)> caretToLineStart;
};

// Process CPU time (every thread) in milliseconds: unlike the wall clock it does not count the time
// another process had the processor, so it shows the code's cost on a busy machine.
inline double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// One timed span: wall time (the measure) and process CPU time beside it.
class Span {
public:
    Span() : wall_(std::chrono::steady_clock::now()), cpu_(CpuMs()) {}
    double WallMs() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_).count();
    }
    double CpuMsSince() const { return CpuMs() - cpu_; }

private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

class Stats {
public:
    void Add(const Span& span)
    {
        const double wall = span.WallMs(), cpu = span.CpuMsSince();
        wall_.push_back(wall);
        cpu_.push_back(cpu);
    }
    void Add(double wall, double cpu)
    {
        wall_.push_back(wall);
        cpu_.push_back(cpu);
    }
    std::size_t Count() const { return wall_.size(); }
    // Prints NAME_median_ms, NAME_worst_ms (and with `sum` NAME_total_ms), each also as _cpu_ms.
    void Print(const std::string& name, bool sum = false) const;

private:
    static double Median(std::vector<double> v)
    {
        if (v.empty()) return 0;
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }
    static double Worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
    static double Sum(const std::vector<double>& v)
    {
        double s = 0;
        for (double d : v) s += d;
        return s;
    }
    std::vector<double> wall_, cpu_;
};

inline void Result(const std::string& name, double value) { std::printf("RESULT %s %.3f\n", name.c_str(), value); }

// A single span's wall time as NAME_ms and its CPU time as NAME_cpu_ms.
inline void Result(const std::string& name, const Span& span)
{
    const double wall = span.WallMs(), cpu = span.CpuMsSince();
    Result(name + "_ms", wall);
    Result(name + "_cpu_ms", cpu);
}

inline void Stats::Print(const std::string& name, bool sum) const
{
    Result(name + "_median_ms", Median(wall_));
    Result(name + "_worst_ms", Worst(wall_));
    if (sum) Result(name + "_total_ms", Sum(wall_));
    Result(name + "_median_cpu_ms", Median(cpu_));
    Result(name + "_worst_cpu_ms", Worst(cpu_));
    if (sum) Result(name + "_total_cpu_ms", Sum(cpu_));
}

inline void Check(bool ok, const char* what)
{
    std::printf("CHECK %s %s\n", what, ok ? "ok" : "FAILED");
    if (!ok) {
        std::fflush(stdout);
        std::exit(1);
    }
}

inline Qt::Key KeyOf(char c)
{
    if (c >= 'a' && c <= 'z') return static_cast<Qt::Key>(Qt::Key_A + (c - 'a'));
    if (c == ' ') return Qt::Key_Space;
    if (c == ';') return Qt::Key_Semicolon;
    return Qt::Key_unknown;
}

inline void SendKey(QWidget* widget, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

// Sets QT_QPA_PLATFORM to offscreen unless the caller chose a platform; before QApplication.
inline void PreferOffscreen()
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

// Runs every measure on `e` (already set up, not yet shown) and prints the results.
inline int Run(const char* editorName, const Arguments& args, Editor& e)
{
    const ScriptFile script(args);
    const std::uint64_t bytes = script.Bytes();
    std::printf("editor %s, script %s, %.1f MiB\n", editorName, script.Path().c_str(), double(bytes) / 1048576.0);

    e.widget->resize(kWidth, kHeight);
    e.widget->show();
    e.widget->activateWindow();
    e.widget->setFocus();
    QApplication::processEvents();
    auto paint = [&] {
        e.viewport->repaint();
        QCoreApplication::sendPostedEvents();
    };
    paint();

    // 1. Load until the first screen is painted.
    {
        const Span span;
        e.load(script.Path());
        QApplication::processEvents();
        e.viewport->repaint();
        Result("load_first_screen", span);
    }
    Result("rss_after_load_mib", StatusMiB("VmRSS"));
    const std::int64_t lines = e.lineCount();
    const std::int64_t length0 = e.length();
    std::printf("INFO lines %lld length %lld\n", static_cast<long long>(lines), static_cast<long long>(length0));
    Check(lines > 1 && length0 > 0, "text loaded");

    // 2. and 3. Keystrokes at the end and in the middle.
    auto typeAt = [&](const char* gotoName, const char* prefix, const std::function<void()>& place,
                      bool forceRepaint = true) {
        QCoreApplication::sendPostedEvents();
        {
            const Span span;
            place();
            paint();
            if (gotoName) Result(gotoName, span);
        }
        Stats keys;
        for (int i = 0; i < args.keys; ++i) {
            const char c = kTyped[static_cast<std::size_t>(i) % kTyped.size()];
            const Qt::Key key = KeyOf(c);
            const QString text(QLatin1Char{c});
            const Span span;
            SendKey(e.widget, key, text);
            if (forceRepaint) paint();
            else QCoreApplication::sendPostedEvents();
            keys.Add(span);
            QCoreApplication::sendPostedEvents();
        }
        keys.Print(prefix);
    };
    typeAt("goto_end", "key_end", [&] { e.caretToEnd(); });
    typeAt("goto_middle", "key_middle", [&] { e.caretToLineStart(lines / 2); });
    typeAt(
        nullptr, "key_dirty", [&] { e.caretToEnd(); }, false);
    std::printf("INFO after typing: lines %lld length %lld\n", static_cast<long long>(e.lineCount()),
                static_cast<long long>(e.length()));
    Check(e.length() == length0 + 3 * args.keys, "every keystroke typed one character");
    // (An editor may count the empty line after a final line break only once it holds text.)
    Check(e.lineCount() == lines || e.lineCount() == lines + 1, "typing added no line break");

    // 4. Page Down through the document.
    e.caretToLineStart(0);
    paint();
    Check(e.topLine() == 0, "paging starts at the top");
    Stats frames;
    std::int64_t top = e.topLine();
    for (;;) {
        if (args.pages > 0 && static_cast<std::int64_t>(frames.Count()) >= args.pages) break;
        const Span span;
        SendKey(e.widget, Qt::Key_PageDown, QString());
        paint();
        const double wall = span.WallMs(), cpu = span.CpuMsSince();
        const std::int64_t now = e.topLine();
        if (now == top) break;
        frames.Add(wall, cpu);
        top = now;
    }
    Result("pagedown_frames", static_cast<double>(frames.Count()));
    frames.Print("pagedown", true);
    std::printf("INFO last top line %lld of %lld\n", static_cast<long long>(top),
                static_cast<long long>(e.lineCount()));
    if (args.pages == 0) Check(top + 2 * (kHeight / 8) > e.lineCount(), "paging reached the end");

    // 5. Memory.
    Result("peak_mib", StatusMiB("VmHWM"));
    std::fflush(stdout);
    return 0;
}

}  // namespace tarnwick::bench::widget
