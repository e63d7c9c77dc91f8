// The editor control on a large script, phase by phase, as a user meets it: load a generated
// 100 MiB script into a control with the SQL highlighter (until the first screen is coloured, then
// until the whole document is, in the idle-time slices the window would run), type 1,000
// characters at the end and 1,000 in the middle (each keystroke with its re-highlighting and
// change notification), undo all of them, replace every "customer_id" through a regular
// expression, and word-wrap the whole document at 80 columns.
//
//   build-release/bin/bench_control [SIZE] [SHAPE] [TYPED]
//
// SIZE as 100M (the default; K, M, G suffixes). SHAPE is the generated script (the default), or
// one of the texts that break careless editors: "nobreak" (SIZE characters without a line
// break), "empty" (SIZE empty lines) or "tabs" (one line of SIZE tabs). TYPED is the text typed
// over and over (by default a statement with a "--" comment and a line break: inside one huge
// line the comment recolours the rest of that line at every keystroke).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "control/doravavizu.h"
#include "highlight/builtin_sql.h"
#include "script_generator.h"
#include "support/fake_host.h"

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Keystrokes {
    double total = 0, worst = 0;
    std::vector<double> each;
    void Add(double s)
    {
        total += s;
        worst = std::max(worst, s);
        each.push_back(s);
    }
    double Median()
    {
        std::sort(each.begin(), each.end());
        return each.empty() ? 0 : each[each.size() / 2];
    }
};

Keystrokes TypeAt(VOzuvavIdav& c, std::int64_t offset, int count, const std::string& text)
{
    c.Select(offset, offset);
    Keystrokes k;
    for (int i = 0; i < count; ++i) {
        const auto t = Clock::now();
        c.KeyPress(text[static_cast<std::size_t>(i) % text.size()]);
        k.Add(Seconds(t));
    }
    return k;
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint64_t size = std::uint64_t(100) << 20;
    const std::string shape = argc > 2 ? argv[2] : "script";
    const std::string typed = argc > 3 && argv[3][0] ? argv[3] : "select col from t; -- typed\r";
    if (argc > 1) {
        const auto parsed = bench::ParseByteSize(argv[1]);
        if (!parsed || (shape != "script" && shape != "nobreak" && shape != "empty" && shape != "tabs")) {
            std::fprintf(stderr, "usage: bench_control [SIZE] [script|nobreak|empty|tabs]\n");
            return 2;
        }
        size = *parsed;
    }
    std::string script;
    if (shape == "script") {
        bench::ScriptOptions options;
        options.targetBytes = size;
        script = bench::GenerateScript(options);
    } else if (shape == "nobreak") {
        script.reserve(size);
        for (std::uint64_t i = 0; i < size; ++i) script += "select x from t "[i % 16];
    } else if (shape == "empty") {
        script.assign(size * 2, '\n');
        for (std::uint64_t i = 0; i < size; ++i) script[2 * i] = '\r';
    } else {
        script.assign(size, '\t');
    }

    test::FakeHost host;
    host.height = 50 * 16;  // 50 lines on screen
    VOzuvavIdav c(&host);
    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);
    c.SetParser(1, &sql);

    auto t = Clock::now();
    c.SetText(script);
    const double firstScreen = Seconds(t);
    const std::int64_t lines = c.Store().LineCount();
    const std::int64_t chars = c.Store().CharCount();
    script = std::string();
    t = Clock::now();
    int slices = 0;
    while (c.HighlightIdle(20000)) ++slices;
    const double whole = Seconds(t);

    Keystrokes end = TypeAt(c, c.Store().CharCount(), 1000, typed);
    Keystrokes middle = TypeAt(c, c.Store().CharCount() / 2, 1000, typed);

    t = Clock::now();
    int undone = 0;
    while (c.CanUndo()) {
        c.Undo();
        ++undone;
    }
    const double undo = Seconds(t);

    t = Clock::now();
    const std::int64_t replaced = c.ReplaceAllRegExp("customer_id", "client_ref", 0);
    const double replace = Seconds(t);

    t = Clock::now();
    c.SetWrapAtColumn(80);
    c.SetWordWrap(true);
    const double wrap = Seconds(t);
    const std::int64_t wrappedLines = c.Store().LineCount();

    std::printf("%s: %lld characters, %lld lines\n", shape.c_str(), static_cast<long long>(chars),
                static_cast<long long>(lines));
    std::printf("| phase | time |\n|---|---|\n");
    std::printf("| load until the first screen is coloured | %.3f s |\n", firstScreen);
    std::printf("| then until the whole document is coloured (%d idle slices) | %.3f s |\n", slices, whole);
    std::printf("| typing at the end: per keystroke, median / mean / worst | %.3f / %.3f / %.3f ms |\n",
                end.Median() * 1e3, end.total, end.worst * 1e3);
    std::printf("| typing in the middle: per keystroke, median / mean / worst | %.3f / %.3f / %.3f ms |\n",
                middle.Median() * 1e3, middle.total, middle.worst * 1e3);
    std::printf("| undo all (%d steps) | %.3f s |\n", undone, undo);
    std::printf("| regular-expression replace-all (%lld replacements) | %.3f s |\n", static_cast<long long>(replaced),
                replace);
    std::printf("| word wrap at 80 columns (%lld lines after) | %.3f s |\n", static_cast<long long>(wrappedLines),
                wrap);
    c.SetParser(1, nullptr);
    return 0;
}
