// Highlights random text with the built-in SQL highlighter or with a highlighter compiled from
// the input, then edits the text and re-highlights only from the edited line, as the editor does
// after a key press. The values after each edit must equal those of a fresh pass over the whole
// text; the first pass must also equal one that reads the text token by token.
//
// Input: one byte of mode; with mode bit 0 a script up to a line "%%%%", then the text; the last
// bytes drive the edits.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "editor/editor_errors.h"
#include "highlight/builtin_sql.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"

using namespace tarnwick;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

std::string Values(const TTextStore& store)
{
    std::string out;
    for (TLineRecord* r = store.FirstLine(); r; r = store.Next(r)) {
        const std::uint8_t* a = r->Attributes();
        for (std::size_t i = 0; i < r->Length(); ++i) out += static_cast<char>(a ? a[i] : 0);
    }
    return out;
}

std::string Fresh(VOzuvavIdavParser& parser, const TTextStore& store)
{
    const HighlightedText h = HighlightText(parser, store.Text());
    return std::string(h.values.begin(), h.values.end());
}

// A fresh pass that watches every token: it reads blanks and signs one by one instead of in
// runs, and must colour alike.
std::string FreshTokenByToken(VOzuvavIdavParser& parser, const TTextStore& store)
{
    TTextStore copy;
    copy.SetText(store.Text());
    HighlightPassOptions all;
    all.all = true;
    all.onTokenSeen = [](int&, std::int64_t, std::int64_t) {};
    RescanFrom(copy, parser, 0, all);
    return Values(copy);
}

VOzuvavIdavParser& BuiltIn()
{
    static VOzuvavIdavParser* parser = [] {
        auto* p = new VOzuvavIdavParser;
        LoadBuiltInSqlHighlighter(*p);
        return p;
    }();
    return *parser;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > 8192) return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::unique_ptr<VOzuvavIdavParser> own;
    VOzuvavIdavParser* parser = &BuiltIn();
    if (data[0] & 1) {
        const std::size_t cut = input.find("\n%%%%\n");
        if (cut == std::string_view::npos) return 0;
        own = std::make_unique<VOzuvavIdavParser>();
        try {
            CompileHighlighterText(*own, input.substr(0, cut), std::string(),
                                   [](const std::string&, std::string&) { return false; });
        } catch (const ESYM_COMP_ERROR&) {
            return 0;
        }
        parser = own.get();
        input = input.substr(cut + 6);
    }
    if (parser->UsesCustomMatches())
        parser->OnCustomParse = [](VOzuvavIdavParser&, int id, TEdStream& s, int& length, int&) {
            // Consumes one character for odd ids, nothing for even ones.
            if (id % 2 == 0 || s.AtEnd()) return false;
            s.NextChar();
            ++length;
            return true;
        };

    // The last few bytes drive the edits.
    const std::size_t editBytes = std::min<std::size_t>(input.size(), 12);
    const std::string_view edits = input.substr(input.size() - editBytes);
    input = input.substr(0, input.size() - editBytes);

    TTextStore store;
    store.SetText(input);
    HighlightPassOptions all;
    all.all = true;
    RescanFrom(store, *parser, 0, all);
    Check(Values(store) == Fresh(*parser, store));
    Check(Values(store) == FreshTokenByToken(*parser, store));

    static const char* const kSnippets[] = {"/*", "*/", "'", "\"", "\n", "--", "begin ", "x", "#", "&a", " ", "\n\n"};
    for (std::size_t i = 0; i + 2 < edits.size(); i += 3) {
        const std::int64_t n = store.CharCount();
        const std::int64_t at =
            n ? (static_cast<unsigned char>(edits[i]) << 8 | static_cast<unsigned char>(edits[i + 1])) % (n + 1) : 0;
        const unsigned what = static_cast<unsigned char>(edits[i + 2]);
        if (what & 0x80 && at < n) store.Delete(at, std::min(n, at + 1 + (what & 7)));
        else store.Insert(at, kSnippets[what % (sizeof kSnippets / sizeof *kSnippets)]);
        // The record that held the character before the edit changed too (a deleted line break
        // leaves it open, continued by the next record), so the pass starts there.
        const std::int64_t before = std::min(at > 0 ? at - 1 : 0, std::max<std::int64_t>(store.CharCount() - 1, 0));
        const std::int64_t line = store.FromOffset(before).line;
        HighlightPassOptions edit;
        edit.minLines = 2;
        edit.force = true;
        RescanFrom(store, *parser, line, edit);
        Check(Values(store) == Fresh(*parser, store));
    }
    return 0;
}
