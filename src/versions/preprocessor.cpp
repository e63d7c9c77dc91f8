#include "versions/preprocessor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "base/ansi_text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {
namespace {

// Hashing and equality of names under the locale's case rules, usable with std::string_view
// keys so that lookups do not allocate.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept
    {
        std::size_t h = 14695981039346656037ull;
        for (char c : s) h = (h ^ static_cast<unsigned char>(AnsiLowerChar(c))) * 1099511628211ull;
        return h;
    }
};
struct NameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return AnsiSameText(a, b); }
};
template <class V>
using NameMap = std::unordered_map<std::string, V, NameHash, NameEqual>;

enum class Directive { Define, Undef, Ifdef, Ifndef, Else, Endif, Set, None };

struct Keyword {
    std::string_view text;
    Directive directive;
};
// Tried in this order; the first the line begins with is the directive.
constexpr std::array<Keyword, 7> kKeywords{{
    {"#define", Directive::Define},
    {"#undef", Directive::Undef},
    {"#ifdef", Directive::Ifdef},
    {"#ifndef", Directive::Ifndef},
    {"#else", Directive::Else},
    {"#endif", Directive::Endif},
    {"#set", Directive::Set},
}};

constexpr unsigned kSeenStar = 1;       // the line holds a '*': it may hold a comment delimiter
constexpr unsigned kSeenAmpersand = 2;  // the line holds a '&': it may hold a macro reference

inline bool IsBreak(char c) { return c == '\r' || c == '\n'; }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Finds the end of the line starting at `p`: the first CR or LF, or `end`. Notes in `seen`
// whether a '*' or a '&' was passed on the way.
inline const char* ScanLine(const char* p, const char* end, unsigned& seen)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i star = _mm_set1_epi8('*');
    const __m128i amp = _mm_set1_epi8('&');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned breaks =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        unsigned stars = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, star)));
        unsigned amps = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, amp)));
        if (breaks != 0) {
            const unsigned before = (breaks & (0u - breaks)) - 1;  // bits below the first break
            if (stars & before) seen |= kSeenStar;
            if (amps & before) seen |= kSeenAmpersand;
            return p + __builtin_ctz(breaks);
        }
        if (stars) seen |= kSeenStar;
        if (amps) seen |= kSeenAmpersand;
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (IsBreak(c)) return p;
        if (c == '*') seen |= kSeenStar;
        else if (c == '&') seen |= kSeenAmpersand;
    }
    return p;
}

bool Contains(std::string_view s, std::string_view what) { return s.find(what) != std::string_view::npos; }

// What the preprocessor knows of one name: where it stands in the defined-symbol list, and how
// many open conditions test it.
struct NameState {
    std::deque<std::size_t> listPositions;  // live positions in the symbol list, ascending
    std::size_t conditionsIfDefined = 0;    // open #ifdef entries (sense true) naming it
    std::size_t conditionsIfUndefined = 0;  // open #ifndef entries (sense false) naming it
    bool Defined() const { return !listPositions.empty(); }
};

struct Condition {
    NameState* name;
    bool sense;  // true: holds when the name is defined
};

class Preprocessor {
public:
    Preprocessor(std::string_view script, PreprocessOutput& output, std::vector<std::string>& symbols,
                 const PreprocessErrorReporter& reporter)
        : script_(script), out_(output), callerSymbols_(symbols), reporter_(reporter)
    {
        symbols_.reserve(symbols.size());
        // Copied, not moved: should the reporter throw, the caller's list is left as it was.
        for (const std::string& s : symbols) {
            NameState& st = StateOf(s);
            st.listPositions.push_back(symbols_.size());
            symbols_.push_back(s);
            alive_.push_back(true);
        }
    }

    bool Run()
    {
        const char* const begin = script_.data();
        const char* const end = begin + script_.size();
        const char* p = begin;
        std::int64_t lineNumber = 1;
        std::int64_t lastLine = 0;
        while (p < end) {
            const char* const runStart = p;
            if (IsBreak(*p)) {
                const char first = *p;
                std::int64_t count = 0;
                for (; p < end && IsBreak(*p); ++p)
                    if (*p == first) ++count;
                if (p == end) break;  // breaks after the last line are neither counted nor emitted
                lineNumber += count;
            }
            unsigned seen = 0;
            const char* const lineEnd = ScanLine(p, end, seen);
            if (ok_) {
                line_ = lineNumber;
                ProcessLine(runStart, p, lineEnd, seen);
            }
            lastLine = lineNumber;
            p = lineEnd;
        }
        Flush();

        if (lastLine > 0) {
            if (inComment_) Fail(lastLine, "Found /* without the corresponding */");
            if (!conditions_.empty()) Fail(lastLine, "Found #ifdef or #ifndef without the corresponding #endif");
        }
        ReturnSymbols();
        return ok_;
    }

private:
    // ---- output: runs of the script that are emitted unchanged are copied in one piece

    void Emit(const char* from, const char* to)
    {
        if (pendingEnd_ != from) {
            Flush();
            pendingBegin_ = from;
        }
        pendingEnd_ = to;
    }
    void Flush()
    {
        if (pendingBegin_ != pendingEnd_)
            out_.AppendScript(std::string_view(pendingBegin_, static_cast<std::size_t>(pendingEnd_ - pendingBegin_)));
        pendingBegin_ = pendingEnd_ = nullptr;
    }
    void EmitText(const char* runStart, const char* lineStart, const std::string& text)
    {
        Emit(runStart, lineStart);
        Flush();
        out_.AppendText(text);
    }

    // ---- errors

    void Fail(std::int64_t line, const std::string& message)
    {
        ok_ = false;
        if (reporter_) reporter_(line, message);
    }
    void Fail(const std::string& message) { Fail(line_, message); }

    // ---- names, the defined-symbol list and the condition stack

    NameState& StateOf(std::string_view name)
    {
        auto it = names_.find(name);
        if (it == names_.end()) it = names_.emplace(std::string(name), NameState{}).first;
        return it->second;
    }

    bool Active() const { return failingConditions_ == 0; }

    // Called when a name turns from undefined to defined or back: the open conditions naming it
    // change whether they hold.
    void DefinednessChanged(const NameState& st)
    {
        if (st.Defined()) {
            failingConditions_ -= st.conditionsIfDefined;
            failingConditions_ += st.conditionsIfUndefined;
        } else {
            failingConditions_ -= st.conditionsIfUndefined;
            failingConditions_ += st.conditionsIfDefined;
        }
    }

    void Define(std::string_view symbol)
    {
        NameState& st = StateOf(symbol);
        if (st.Defined()) return;
        st.listPositions.push_back(symbols_.size());
        symbols_.emplace_back(symbol);
        alive_.push_back(true);
        DefinednessChanged(st);
    }

    void Undefine(std::string_view symbol)
    {
        auto it = names_.find(symbol);
        if (it == names_.end() || !it->second.Defined()) return;
        NameState& st = it->second;
        alive_[st.listPositions.front()] = false;
        st.listPositions.pop_front();
        if (!st.Defined()) DefinednessChanged(st);
    }

    // Counts an open condition on `st` in or out, keeping the number of failing conditions.
    void CountCondition(NameState& st, bool sense, bool in)
    {
        std::size_t& count = sense ? st.conditionsIfDefined : st.conditionsIfUndefined;
        const bool fails = st.Defined() != sense;
        if (in) {
            ++count;
            if (fails) ++failingConditions_;
        } else {
            --count;
            if (fails) --failingConditions_;
        }
    }

    void Push(std::string_view symbol, bool sense)
    {
        NameState& st = StateOf(symbol);
        conditions_.push_back({&st, sense});
        CountCondition(st, sense, true);
    }

    void Pop()
    {
        const Condition c = conditions_.back();
        conditions_.pop_back();
        CountCondition(*c.name, c.sense, false);
    }

    void InvertInnermost()
    {
        Condition& c = conditions_.back();
        CountCondition(*c.name, c.sense, false);
        c.sense = !c.sense;
        CountCondition(*c.name, c.sense, true);
    }

    void ReturnSymbols()
    {
        callerSymbols_.clear();
        callerSymbols_.reserve(symbols_.size());
        for (std::size_t i = 0; i < symbols_.size(); ++i)
            if (alive_[i]) callerSymbols_.push_back(std::move(symbols_[i]));
    }

    // ---- lines

    void ProcessLine(const char* runStart, const char* lineStart, const char* lineEnd, unsigned seen)
    {
        const std::string_view line(lineStart, static_cast<std::size_t>(lineEnd - lineStart));
        const std::string_view trimmed = Trim(line);
        const bool active = Active();

        if (active && (seen & kSeenStar) && (Contains(line, "/*") || Contains(line, "*/"))) {
            ProcessComment(runStart, lineStart, line);
            return;
        }
        if (inComment_) return;
        if (!trimmed.empty() && trimmed[0] == '#') {
            ProcessDirective(trimmed, active);
            return;
        }
        if (trimmed.size() >= 2 && trimmed[0] == '-' && trimmed[1] == '-') return;
        if (!active) return;

        if (seen & kSeenAmpersand) {
            std::string substituted;
            if (!Substitute(line, substituted)) return;
            EmitText(runStart, lineStart, substituted);
        } else {
            Emit(runStart, lineEnd);
        }
    }

    void ProcessDirective(std::string_view trimmed, bool active)
    {
        const Keyword* keyword = nullptr;
        for (const Keyword& k : kKeywords)
            if (AsciiStartsWithText(trimmed, k.text)) {
                keyword = &k;
                break;
            }
        if (!keyword) {
            if (active) Fail("Unknown Token: " + std::string(trimmed));
            return;
        }

        switch (keyword->directive) {
        case Directive::Else:
            if (elseSeen_) Fail("Found #else after another #else");
            else if (conditions_.empty()) Fail("Found #else without a corresponding #ifdef or #ifndef");
            else {
                elseSeen_ = true;
                InvertInnermost();
            }
            return;
        case Directive::Endif:
            if (conditions_.empty()) Fail("Found #endif without a corresponding #ifdef or #ifndef");
            else {
                elseSeen_ = false;
                Pop();
            }
            return;
        case Directive::Define:
        case Directive::Undef:
        case Directive::Set:
            if (!active) return;
            break;
        default: break;
        }

        const std::string_view argument = Trim(trimmed.substr(keyword->text.size()));
        if (argument.empty()) {
            Fail("No arguments to " + std::string(keyword->text));
            return;
        }
        if (trimmed[keyword->text.size()] != ' ') {
            Fail("Space required after " + std::string(keyword->text));
            return;
        }

        switch (keyword->directive) {
        case Directive::Define: Define(argument); break;
        case Directive::Undef: Undefine(argument); break;
        case Directive::Ifdef:
            elseSeen_ = false;
            Push(argument, true);
            break;
        case Directive::Ifndef:
            elseSeen_ = false;
            Push(argument, false);
            break;
        case Directive::Set: SetMacro(argument); break;
        default: break;
        }
    }

    void SetMacro(std::string_view argument)
    {
        const std::size_t eq = argument.find('=');
        if (eq == std::string_view::npos) {
            Fail("Expecting '='");
            return;
        }
        const std::string_view name = Trim(argument.substr(0, eq));
        const std::string_view value = Trim(argument.substr(eq + 1));
        if (name.empty()) {
            Fail("Expecting <NAME> = <VALUE>");
            return;
        }
        if (macros_.find(name) != macros_.end()) {
            Fail(std::string(name) + " is already defined");
            return;
        }
        macros_.emplace(std::string(name), std::string(value));
    }

    // Cuts block comments out of a line of an active region and emits what is left.
    void ProcessComment(const char* runStart, const char* lineStart, std::string_view line)
    {
        std::string kept;
        std::size_t pos = 0;
        for (;;) {
            if (inComment_) {
                const std::size_t close = line.find("*/", pos);
                if (close == std::string_view::npos) break;
                inComment_ = false;
                pos = close + 2;
                continue;
            }
            const std::size_t open = line.find("/*", pos);
            const std::size_t close = line.find("*/", pos);
            if (open != std::string_view::npos && close != std::string_view::npos && close < open) {
                Fail("Found */ without /*");
                return;
            }
            if (open == std::string_view::npos) {
                kept.append(line.substr(pos));
                break;
            }
            kept.append(line.substr(pos, open - pos));
            inComment_ = true;
            pos = open + 2;
        }
        if (Trim(kept).empty()) return;
        if (kept.find('&') != std::string::npos) {
            std::string substituted;
            if (!Substitute(kept, substituted)) return;
            kept = std::move(substituted);
        }
        EmitText(runStart, lineStart, kept);
    }

    // Replaces every "&name" by the macro's value and "&&" by "&". On an unknown or empty
    // name the line fails and `result` must not be used.
    bool Substitute(std::string_view text, std::string& result)
    {
        result.clear();
        result.reserve(text.size());
        std::size_t pos = 0;
        for (;;) {
            const std::size_t amp = text.find('&', pos);
            if (amp == std::string_view::npos) {
                result.append(text.substr(pos));
                return true;
            }
            result.append(text.substr(pos, amp - pos));
            if (amp + 1 < text.size() && text[amp + 1] == '&') {
                result.push_back('&');
                pos = amp + 2;
                continue;
            }
            std::size_t nameEnd = amp + 1;
            while (nameEnd < text.size() && IsAsciiLetter(text[nameEnd])) ++nameEnd;
            const std::string_view name = text.substr(amp + 1, nameEnd - amp - 1);
            if (name.empty()) {
                Fail("Empty Set Macro.");
                return false;
            }
            const auto macro = macros_.find(name);
            if (macro == macros_.end()) {
                Fail("Unknown Set Macro: " + std::string(name));
                return false;
            }
            result.append(macro->second);
            pos = nameEnd;
        }
    }

    std::string_view script_;
    PreprocessOutput& out_;
    std::vector<std::string>& callerSymbols_;
    const PreprocessErrorReporter& reporter_;

    // The defined-symbol list, kept with holes where #undef removed an entry.
    std::vector<std::string> symbols_;
    std::vector<bool> alive_;
    NameMap<NameState> names_;

    std::vector<Condition> conditions_;
    std::size_t failingConditions_ = 0;  // open conditions that do not hold; 0 means active
    NameMap<std::string> macros_;
    bool elseSeen_ = false;
    bool inComment_ = false;
    bool ok_ = true;
    std::int64_t line_ = 0;

    const char* pendingBegin_ = nullptr;
    const char* pendingEnd_ = nullptr;
};

}  // namespace

void PreprocessedPieces::AppendScript(std::string_view piece)
{
    if (piece.empty()) return;
    pieces_.push_back(piece);
    size_ += piece.size();
}

void PreprocessedPieces::AppendText(std::string_view text)
{
    if (text.empty()) return;
    if (blockSize_ - blockUsed_ < text.size()) {
        blockSize_ = std::max<std::size_t>(text.size(), 64 * 1024);
        blocks_.push_back(std::make_unique<char[]>(blockSize_));
        blockUsed_ = 0;
    }
    char* at = blocks_.back().get() + blockUsed_;
    std::memcpy(at, text.data(), text.size());
    blockUsed_ += text.size();
    pieces_.emplace_back(at, text.size());
    size_ += text.size();
}

std::string PreprocessedPieces::ToString() const
{
    std::string s;
    s.reserve(size_);
    for (std::string_view p : pieces_) s.append(p);
    return s;
}

void PreprocessedPieces::Clear()
{
    pieces_.clear();
    blocks_.clear();
    blockUsed_ = blockSize_ = 0;
    size_ = 0;
}

bool PreprocessScript(std::string_view script, PreprocessOutput& output, std::vector<std::string>& symbols,
                      const PreprocessErrorReporter& reporter)
{
    return Preprocessor(script, output, symbols, reporter).Run();
}

namespace {

class StringOutput final : public PreprocessOutput {
public:
    explicit StringOutput(std::string& s) : s_(s) {}
    void AppendScript(std::string_view piece) override { s_.append(piece); }
    void AppendText(std::string_view text) override { s_.append(text); }

private:
    std::string& s_;
};

}  // namespace

bool PreprocessScript(std::string_view script, std::string& output, std::vector<std::string>& symbols,
                      const PreprocessErrorReporter& reporter)
{
    StringOutput sink(output);
    return PreprocessScript(script, sink, symbols, reporter);
}

}  // namespace tarnwick
