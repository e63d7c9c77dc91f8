// Opening and saving a large script in the frame window, as a person does it: the frame shown
// (offscreen), the script opened in a new edit window until its first screen is painted, a key
// typed at the end, then saved (the backup made and the file replaced).
//
//   QT_QPA_PLATFORM=offscreen build-release/bin/bench_edit_window [SIZE] [--lf]
//
// SIZE (default 100M) is the generated script's length; --lf writes it with LF line breaks.
// Printed: the time of each step, how long the event loop could not run during the open (the
// time the busy cursor shows), and the process's resident memory after each step.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/frame_form.h"
#include "documents/edit_form.h"
#include "documents/user_dialogs.h"
#include "platform/key_value_store.h"
#include "process_memory.h"
#include "script_generator.h"
#include "silent_dialogs.h"

using namespace tarnwick;
using namespace tarnwick::bench;
namespace fs = std::filesystem;

namespace {

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::uint64_t size = 100u << 20;
    bool lf = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lf") lf = true;
        else if (auto parsed = bench::ParseByteSize(arg)) size = *parsed;
        else {
            std::fprintf(stderr, "usage: bench_edit_window [SIZE] [--lf]\n");
            return 2;
        }
    }

    const fs::path folder =
        fs::temp_directory_path() / ("tarnwick-bench-edit-" + std::to_string(QCoreApplication::applicationPid()));
    fs::create_directories(folder);
    const fs::path file = folder / "script.sql";
    if (!bench::WriteScriptFile(file, {size, 1, bench::ScriptMode::Full}, lf)) {
        std::fprintf(stderr, "cannot write the generated script %s\n", file.c_str());
        return 2;
    }
    std::printf("script: %.1f MB, %s line breaks\n", static_cast<double>(fs::file_size(file)) / (1 << 20),
                lf ? "LF" : "CR LF");
    std::printf("%-28s %10s %12s\n", "step", "ms", "RSS MB");
    auto report = [](const char* step, double ms) {
        std::printf("%-28s %10.0f %12.1f\n", step, ms, static_cast<double>(ResidentKb()) / 1024);
    };

    MemoryKeyValueStore registry;
    SilentDialogs dialogs;
    ui::FrameSetup setup;
    setup.registry = &registry;
    setup.dialogs = &dialogs;
    setup.optionFolder = folder;
    ui::TFrameForm frame(setup);
    frame.resize(1280, 800);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return 1;
    report("frame shown", 0);

    // The longest time the event loop did not turn while the script opened.
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    qint64 longestStall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, sinceTurn.elapsed());
        sinceTurn.restart();
    });
    ticker.start(0);
    frame.OpenInNewWindow(QString::fromStdString(file.string()));
    ui::TEditForm* form = frame.ActiveEditForm();
    form->Editor()->viewport()->repaint();
    const double openMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    QCoreApplication::processEvents();
    longestStall = std::max(longestStall, sinceTurn.elapsed());
    ticker.stop();
    report("open, first screen painted", openMs);
    std::printf("%-28s %10lld\n", "longest stall of the events", static_cast<long long>(longestStall));

    clock.restart();
    QTest::keyClick(form->Editor(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(form->Editor(), QStringLiteral("x"));
    form->Editor()->viewport()->repaint();
    report("key at the end, painted", static_cast<double>(clock.nsecsElapsed()) / 1e6);

    clock.restart();
    const bool saved = form->Save();
    report(saved ? "save (backup and replace)" : "save FAILED", static_cast<double>(clock.nsecsElapsed()) / 1e6);
    clock.restart();
    form->Save();
    report("second save", static_cast<double>(clock.nsecsElapsed()) / 1e6);

    frame.close();
    std::error_code ec;
    fs::remove_all(folder, ec);
    return saved ? 0 : 1;
}
