// Replace All of the replace dialog over a large script in the editor widget, as a person runs it:
// the widget shown (offscreen, 1280 x 800) with the built-in SQL highlighter, the confirmation
// answered "All" at the first match, pending events let run while the loop goes.
//
//   QT_QPA_PLATFORM=offscreen build-release/bin/bench_replace_all [SIZE] [MATCHES...] [--paced|--every]
//
// SIZE (default 100M) is the script's length; each MATCHES count (default 10000 50000 100000)
// gives one run on a fresh copy of the script with that many occurrences of a marker word spread
// evenly over it. Each run is made twice: with the dialog's default pace of events (at most every
// 20 ms) and with events after every single match (--paced or --every: only the one). Printed per run: the time of the
// Replace All, the time per match, how often the events ran and the window painted, and the longest time the window
// went without its events running (what a person waiting for a Cancel feels).

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "control/doravavizu.h"
#include "documents/replace_dialog.h"
#include "highlight/builtin_sql.h"
#include "script_generator.h"
#include "widgets/vozuvavidav.h"

using namespace tarnwick;

namespace {

constexpr const char* kMarker = "zqmark";

// Counts the paint events of the editor's viewport.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The script with `matches` markers, each at the start of a line, spread evenly over it (fewer
// when the script has fewer lines).
std::string WithMarkers(const std::string& script, int matches)
{
    std::string out;
    out.reserve(script.size() + static_cast<std::size_t>(matches) * 8);
    std::size_t from = 0;
    for (int i = 0; i < matches; ++i) {
        const std::size_t target = script.size() / static_cast<std::size_t>(matches) * static_cast<std::size_t>(i);
        const std::size_t at = script.find('\n', std::max(target, from));
        if (at == std::string::npos) break;
        out.append(script, from, at + 1 - from);
        out += kMarker;
        out += ' ';
        from = at + 1;
    }
    out.append(script, from, std::string::npos);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::uint64_t size = 100ull << 20;
    std::vector<int> counts;
    std::vector<int> intervals = {20, 0};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--paced") {
            intervals = {20};
        } else if (a == "--every") {
            intervals = {0};
        } else if (i == 1 && !a.empty() && (a.back() == 'M' || a.back() == 'K' || a.back() == 'G')) {
            const auto parsed = bench::ParseByteSize(a);
            if (!parsed) {
                std::fprintf(stderr, "usage: bench_replace_all [SIZE] [MATCHES...]\n");
                return 2;
            }
            size = *parsed;
        } else {
            counts.push_back(std::stoi(a));
        }
    }
    if (counts.empty()) counts = {10000, 50000, 100000};

    bench::ScriptOptions options;
    options.targetBytes = size;
    const std::string script = bench::GenerateScript(options);

    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);
    std::printf("%-9s %9s %-10s %10s %12s %8s %8s %12s\n", "size", "matches", "events", "seconds", "us/match", "rounds",
                "paints", "longest ms");
    for (const int count : counts) {
        const std::string text = WithMarkers(script, count);
        for (const int interval : intervals) {
            ui::VOzuvavIdav editor;
            editor.resize(1280, 800);
            editor.Control().SetParser(1, &sql);
            editor.Control().SetActiveParser(1);
            editor.Control().SetOptions(editor.Control().Options() | OptionBit(smoSyntaxHighlight));
            editor.Control().SetText(text);
            editor.show();
            QApplication::processEvents();

            ui::ReplaceDialog dialog(editor);
            dialog.idleIntervalMs = interval;
            dialog.questions.confirm = [](const QString&) { return ui::ConfirmAnswer::All; };
            QString report;
            dialog.questions.information = [&](const QString& t) { report = t; };
            dialog.questions.error = [&](const QString& t) { report = t; };
            dialog.FindWhat->setText(QString::fromLatin1(kMarker));
            dialog.ReplaceWith->setText(QString::fromLatin1(kMarker) + QStringLiteral("_done"));

            PaintCounter paints;
            editor.viewport()->installEventFilter(&paints);
            // The events' rounds, seen as timer ticks of a zero-length timer, and the longest gap.
            int rounds = 0;
            qint64 longest = 0;
            QElapsedTimer gap;
            QTimer tick;
            tick.setInterval(0);
            QObject::connect(&tick, &QTimer::timeout, [&] {
                ++rounds;
                longest = std::max(longest, gap.restart());
            });
            tick.start();
            QElapsedTimer clock;
            clock.start();
            gap.start();
            dialog.ReplaceDialogReplace(true);
            const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            longest = std::max(longest, gap.elapsed());
            tick.stop();
            editor.viewport()->removeEventFilter(&paints);

            // Every marker must have been replaced, once.
            const std::string after = editor.Control().Text();
            std::size_t done = 0;
            const std::string replaced = std::string(kMarker) + "_done";
            for (std::size_t at = after.find(kMarker); at != std::string::npos; at = after.find(kMarker, at + 1)) {
                if (after.compare(at, replaced.size(), replaced) != 0) {
                    std::fprintf(stderr, "a marker was left at %zu\n", at);
                    return 1;
                }
                ++done;
            }
            std::printf("%-9s %9d %-10s %10.3f %12.2f %8d %8d %12lld   %s (%zu in the text)\n",
                        (std::to_string(text.size() >> 20) + "M").c_str(), count, interval ? "paced" : "every", seconds,
                        seconds * 1e6 / count, rounds, paints.paints, static_cast<long long>(longest),
                        report.toLatin1().constData(), done);
            std::fflush(stdout);
            editor.Control().SetParser(1, nullptr);
        }
    }
    return 0;
}
