// What keeping a large script's unsaved text for recovery costs the window's thread: a script
// opened in the frame window (offscreen), keys typed into it with the recovery file off and on,
// the hand-over of the whole text to the writer's thread in slices, and the writes themselves
// (done by that thread, timed there).
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_recovery [SIZE]
//
// SIZE (default 100M) is the generated script's length. Printed: per key typed, the mean and the
// longest time from the key to the event loop being idle again; during the hand-over, the
// longest time the event loop did not turn and the number of slices; the time the writer's
// thread took for the first whole-file write and for the change appends; resident memory.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/frame_form.h"
#include "documents/edit_form.h"
#include "documents/recovery_recorder.h"
#include "documents/user_dialogs.h"
#include "platform/key_value_store.h"
#include "process_memory.h"
#include "script_generator.h"
#include "silent_dialogs.h"

using namespace tarnwick;
using namespace tarnwick::bench;
namespace fs = std::filesystem;

namespace {

struct KeyTimes {
    double meanMs = 0;
    double longestMs = 0;
};

// Types `count` keys in the middle of the text, each followed by the events it caused, for at
// least `spanMs` in all (so that the recorder's delay passes a few times).
KeyTimes TypeKeys(ui::TEditForm& form, int count, int spanMs)
{
    KeyTimes t;
    QElapsedTimer span;
    span.start();
    QElapsedTimer key;
    int typed = 0;
    while (typed < count || span.elapsed() < spanMs) {
        key.start();
        QTest::keyClick(form.Editor(), Qt::Key_X);
        QCoreApplication::processEvents();
        const double ms = static_cast<double>(key.nsecsElapsed()) / 1e6;
        t.meanMs += ms;
        t.longestMs = std::max(t.longestMs, ms);
        ++typed;
        QTest::qWait(10);
    }
    t.meanMs /= typed;
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::uint64_t size = 100u << 20;
    if (argc > 1) {
        if (auto parsed = bench::ParseByteSize(argv[1])) size = *parsed;
        else {
            std::fprintf(stderr, "usage: bench_recovery [SIZE]\n");
            return 2;
        }
    }
    const fs::path folder =
        fs::temp_directory_path() / ("tarnwick-bench-recovery-" + std::to_string(QCoreApplication::applicationPid()));
    fs::create_directories(folder);
    const fs::path file = folder / "script.sql";
    if (!bench::WriteScriptFile(file, {size, 1, bench::ScriptMode::Full})) {
        std::fprintf(stderr, "cannot write the generated script %s\n", file.c_str());
        return 2;
    }
    std::printf("script: %.1f MB\n", static_cast<double>(fs::file_size(file)) / (1 << 20));

    {
        MemoryKeyValueStore registry;
        SilentDialogs dialogs;
        ui::FrameSetup setup;
        setup.registry = &registry;
        setup.dialogs = &dialogs;
        setup.optionFolder = folder;
        setup.recoveryFolder = QString::fromStdString((folder / "recovery").string());
        ui::TFrameForm frame(setup);
        frame.resize(1280, 800);
        frame.show();
        if (!QTest::qWaitForWindowExposed(&frame)) return 1;
        const long startKb = ResidentKb();
        frame.OpenInNewWindow(QString::fromStdString(file.string()));
        ui::TEditForm* form = frame.ActiveEditForm();
        ui::RecoveryRecorder& recorder = *form->Recorder();
        const fs::path recoveryFile = form->RecoveryFile();
        tarnwick::VOzuvavIdav& c = form->Editor()->Control();
        c.Select(c.Store().CharCount() / 2, c.Store().CharCount() / 2);
        const long openedKb = ResidentKb();
        std::printf("opened, RSS %.1f MB (the open took %.1f MB)\n", static_cast<double>(openedKb) / 1024,
                    static_cast<double>(openedKb - startKb) / 1024);

        // Without a recovery file.
        recorder.SetFile({});
        const KeyTimes off = TypeKeys(*form, 200, 0);
        std::printf("%-44s mean %.3f ms, longest %.2f ms\n", "key, recovery off:", off.meanMs, off.longestMs);

        // On: one key, then the delay, then the hand-over in slices.
        const long offKb = ResidentKb();
        recorder.SetFile(recoveryFile);
        QTest::keyClick(form->Editor(), Qt::Key_X);
        QElapsedTimer sinceTurn;
        qint64 longestStall = 0;
        int turns = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestStall = std::max(longestStall, sinceTurn.nsecsElapsed());
            sinceTurn.restart();
        });
        if (!QTest::qWaitFor([&] { return recorder.Writer() != nullptr; }, 10000)) return 1;
        QElapsedTimer handOver;
        handOver.start();
        sinceTurn.start();
        ticker.start(0);
        while (!recorder.Complete()) {
            QCoreApplication::processEvents();
            ++turns;
        }
        ticker.stop();
        const double handOverMs = static_cast<double>(handOver.nsecsElapsed()) / 1e6;
        std::printf("%-44s %.0f ms in all, %lld slices of %lld characters\n", "hand-over of the text:", handOverMs,
                    static_cast<long long>((c.Store().CharCount() + ui::RecoveryRecorder::kSlice - 1) /
                                           ui::RecoveryRecorder::kSlice),
                    static_cast<long long>(ui::RecoveryRecorder::kSlice));
        std::printf("%-44s %.2f ms\n",
                    "longest stall of the events in the hand-over:", static_cast<double>(longestStall) / 1e6);
        QElapsedTimer write;
        write.start();
        recorder.Writer()->WaitIdle();
        std::printf("%-44s %.0f ms (writer's thread), file %.1f MB, RSS +%.1f MB\n",
                    "first whole-file write:", static_cast<double>(write.nsecsElapsed()) / 1e6,
                    static_cast<double>(fs::file_size(recoveryFile)) / (1 << 20),
                    static_cast<double>(ResidentKb() - offKb) / 1024);

        // Typing while the file is kept: every key is passed on, and the file is brought up to date
        // every two seconds.
        const int appendsBefore = recorder.Writer()->Done().appends;
        const KeyTimes on = TypeKeys(*form, 200, 3 * ui::RecoveryRecorder::kDelay);
        std::printf("%-44s mean %.3f ms, longest %.2f ms\n", "key, recovery on:", on.meanMs, on.longestMs);
        write.restart();
        recorder.Writer()->WaitIdle();
        const ui::RecoveryRecorder* r = &recorder;
        std::printf("%-44s %d appends, %d whole writes in all, file %.1f MB\n",
                    "while typing:", r->Writer()->Done().appends - appendsBefore, r->Writer()->Done().wholeWrites,
                    static_cast<double>(fs::file_size(recoveryFile)) / (1 << 20));

        // The work of one slice on the window's thread alone, without the events around it.
        {
            double longest = 0;
            double total = 0;
            int slices = 0;
            QElapsedTimer one;
            for (std::int64_t at = 0; at < c.Store().CharCount(); at += ui::RecoveryRecorder::kSlice, ++slices) {
                one.start();
                std::string slice(static_cast<std::size_t>(ui::RecoveryRecorder::kSlice), '\0');
                slice.resize(c.Store().CopyText(at, slice.data(), slice.size()));
                const double ms = static_cast<double>(one.nsecsElapsed()) / 1e6;
                longest = std::max(longest, ms);
                total += ms;
            }
            std::printf("%-44s mean %.2f ms, longest %.2f ms\n", "one slice copied:", total / slices, longest);
        }
        // For comparison: what one copy of the whole text on the window's thread costs, as a write
        // from a snapshot would take at every write.
        QElapsedTimer copy;
        copy.start();
        const std::size_t copied = c.Store().Text().size();
        std::printf("%-44s %.0f ms (%.1f MB)\n",
                    "for comparison, one whole copy of the text:", static_cast<double>(copy.nsecsElapsed()) / 1e6,
                    static_cast<double>(copied) / (1 << 20));

        recorder.Reset();
        frame.close();
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
