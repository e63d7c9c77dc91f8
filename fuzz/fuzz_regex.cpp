// Compiles the first line of the input as a regular expression and searches the rest with it,
// forwards and backwards from several places. Every malformed pattern must give an error with a
// position inside the pattern; every match found must lie inside the text, on the right side of
// where the search started, with its groups inside it; the matcher's own errors must be its two
// limits. The search with its shortcuts (the literal every match holds, the characters a match
// can start with) must find what trying every place in turn finds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/regex.h"
#include "editor/text_store.h"

using namespace tarnwick;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

void SearchFrom(TREParser& re, TEdStream& stream, std::int64_t from, bool forward)
{
    stream.Reset();
    stream.Seek(from, SeekOrigin::soFromBeginning);
    const std::int64_t size = stream.Size();
    try {
        if (!re.Search(stream, forward)) return;
    } catch (const RegexError& e) {
        const std::string_view what = e.what();
        Check(what == "Expression too complex" || what == "Index range error");
        return;
    }
    const std::int64_t start = re.MatchStart();
    const std::int64_t end = re.MatchEnd();
    Check(start >= 0 && start <= end && end <= size);
    if (forward) Check(start >= from);
    else Check(start <= std::max<std::int64_t>(std::min(from, size - 1), 0));
    for (int i = 0; i < re.PositionCount(); ++i) {
        const std::int64_t p = re.Position(i);
        Check(p >= -1 && p <= size);
    }
    for (int g = 1; g <= re.GroupCount(); ++g) {
        const auto [a, b] = re.Group(g);
        Check((a == -1 && b == -1) || (start <= a && a <= b && b <= end));
    }
}

// The same search without the shortcuts must agree, groups included.
void CompareWithEveryPlace(TREParser& re, TREParser& reference, TEdStream& stream, std::int64_t from, bool forward)
{
    bool found = false, expected = false;
    std::int64_t start = -1, end = -1;
    std::vector<std::pair<std::int64_t, std::int64_t>> groups;
    try {
        stream.Reset();
        stream.Seek(from, SeekOrigin::soFromBeginning);
        found = re.Search(stream, forward);
        if (found) {
            start = re.MatchStart();
            end = re.MatchEnd();
            for (int g = 1; g <= re.GroupCount(); ++g) groups.push_back(re.Group(g));
        }
        stream.Reset();
        stream.Seek(from, SeekOrigin::soFromBeginning);
        expected = reference.SearchEveryPlace(stream, forward);
    } catch (const RegexError&) {
        return;  // a limit reached on one side or the other
    }
    Check(found == expected);
    if (!found) return;
    Check(start == reference.MatchStart() && end == reference.MatchEnd());
    for (int g = 1; g <= reference.GroupCount(); ++g)
        Check(groups[static_cast<std::size_t>(g - 1)] == reference.Group(g));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string_view pattern = input.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    if (pattern.size() > 512 || text.size() > 8192) return 0;

    TREParser re;
    if (!re.SetExpression(pattern)) {
        Check(re.ErrorId() != reNoError);
        Check(re.ErrorPosition() >= 1 || pattern.empty());
        Check(re.Expression().empty());
        return 0;
    }
    Check(re.Program().size() > 1 && re.Program()[0] == TREParser::kMagic);
    Check(re.SetExpression(pattern));  // the same pattern again costs nothing

    TTextStore store;
    store.SetText(text);
    TEdStream stream(&store);
    const std::int64_t n = store.CharCount();
    for (const std::int64_t from : {std::int64_t(0), n / 2, n}) {
        SearchFrom(re, stream, from, true);
        SearchFrom(re, stream, from, false);
    }
    // Trying every place costs much more: compared on texts of up to two records' worth of lines.
    TREParser reference;
    Check(reference.SetExpression(pattern));
    if (n <= 4096) {
        for (const std::int64_t from : {std::int64_t(0), n / 3, n - n / 3, n}) {
            CompareWithEveryPlace(re, reference, stream, from, true);
            CompareWithEveryPlace(re, reference, stream, from, false);
        }
    }

    // On short texts, a backward search must find the last place where a forward search finds
    // a match starting right there (the forward search shortcuts and the backward one differ).
    if (n <= 200) {
        try {
            stream.Reset();
            stream.Seek(n, SeekOrigin::soFromBeginning);
            const bool back = re.Search(stream, false);
            const std::int64_t backStart = back ? re.MatchStart() : -1, backEnd = back ? re.MatchEnd() : -1;
            std::int64_t want = -1, wantEnd = -1;
            for (std::int64_t p = n - 1; p >= 0 && want < 0; --p) {
                stream.Reset();
                stream.Seek(p, SeekOrigin::soFromBeginning);
                if (re.Search(stream, true) && re.MatchStart() == p) {
                    want = p;
                    wantEnd = re.MatchEnd();
                }
            }
            Check(backStart == want && backEnd == wantEnd);
        } catch (const RegexError&) {
            // a limit reached on one side or the other
        }
    }
    return 0;
}
