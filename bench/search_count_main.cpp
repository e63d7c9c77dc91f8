// Counts the lines of a file that hold a match, as `grep -c` does, with the editor's plain-text or
// regular-expression search over the text store. Prints the count and the times of loading the
// file and of the search, so that the search can be compared with grep on the same file.
//
//   tarnwick-search-count -F|-E [-i] [--backwards] PATTERN FILE
//
// -i ignores case (plain-text search only, as the editor's find does).
//
// Output (one line): COUNT load_s search_s search_MiB_per_s

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "editor/text_store.h"
#include "search_count.h"

using namespace tarnwick;

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    bool regex = false, backwards = false, ignoreCase = false;
    std::string pattern, file;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-F") regex = false;
        else if (arg == "-E") regex = true;
        else if (arg == "-i") ignoreCase = true;
        else if (arg == "--backwards") backwards = true;
        else if (positional++ == 0) pattern = arg;
        else file = arg;
    }
    if (pattern.empty() || file.empty()) {
        std::fprintf(stderr, "usage: tarnwick-search-count -F|-E [-i] [--backwards] PATTERN FILE\n");
        return 2;
    }
    try {
        const auto loadStart = std::chrono::steady_clock::now();
        TTextStore store;
        {
            const FileView view = FileView::Open(file);
            store.SetText(view.Text());
        }
        const double load = Seconds(loadStart);

        const auto searchStart = std::chrono::steady_clock::now();
        const std::int64_t count = bench::CountMatchingLines(store, pattern, regex, backwards, ignoreCase);
        const std::int64_t size = store.CharCount();
        const double search = Seconds(searchStart);
        std::printf("%lld %.3f %.3f %.1f\n", static_cast<long long>(count), load, search,
                    static_cast<double>(size) / (1 << 20) / search);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-search-count: %s\n", e.what());
        return 2;
    }
    return 0;
}
