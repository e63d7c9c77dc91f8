// libFuzzer target for the script preprocessor.
//
// Input layout: when a NUL byte occurs among the first 64 bytes, the bytes before it are the
// starting symbols, separated by ","; the bytes after it are the script. Otherwise the whole
// input is the script and no symbol is defined.
//
// Besides memory and undefined-behaviour errors, the target checks what must hold for any script:
//  - at most three messages, each non-empty; success exactly when there was none;
//  - line numbers between 1 and the number of the last line, never decreasing; only the first
//    message may come from a line, the others are the end-of-text checks, in their order, and
//    those carry the number of the last line;
//  - a symbol left in the list was either there at the start or written in the script;
//  - a script without directives, comments or macro references comes out unchanged but for its
//    trailing line breaks;
//  - with LF breaks turned into CR LF, the same messages, symbols and (breaks aside) output;
//  - a second run over the same input gives the same result, and a run that collects the output
//    as pieces gives the same text as one that appends it to a string.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "versions/preprocessor.h"

namespace {

constexpr std::string_view kOpenCommentAtEnd = "Found /* without the corresponding */";
constexpr std::string_view kOpenBlockAtEnd = "Found #ifdef or #ifndef without the corresponding #endif";

struct Report {
    std::int64_t line;
    std::string message;
    bool operator==(const Report&) const = default;
};

struct Outcome {
    bool ok = false;
    std::string output;
    std::vector<std::string> symbols;
    std::vector<Report> reports;
    bool operator==(const Outcome&) const = default;
};

[[noreturn]] void Fail(const char* what, const Outcome& outcome)
{
    std::fprintf(stderr, "invariant broken: %s\n  ok=%d reports=%zu\n", what, outcome.ok ? 1 : 0,
                 outcome.reports.size());
    for (const Report& r : outcome.reports)
        std::fprintf(stderr, "  line %lld: %s\n", (long long)r.line, r.message.c_str());
    std::abort();
}

Outcome Run(std::string_view script, const std::vector<std::string>& symbols)
{
    Outcome outcome;
    outcome.symbols = symbols;
    outcome.ok = tarnwick::PreprocessScript(script, outcome.output, outcome.symbols,
                                            [&outcome](std::int64_t line, const std::string& message) {
                                                outcome.reports.push_back({line, message});
                                            });
    return outcome;
}

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

// The number of the last line: 1, plus, for every break run that precedes a line, the number of
// times the run's first character occurs in it.
std::int64_t LastLineNumber(std::string_view script)
{
    std::int64_t line = 1;
    std::size_t i = 0;
    while (i < script.size()) {
        if (!IsBreak(script[i])) {
            ++i;
            continue;
        }
        std::size_t start = i;
        while (i < script.size() && IsBreak(script[i])) ++i;
        if (i == script.size()) break;  // trailing breaks are not counted
        for (std::size_t j = start; j < i; ++j) line += script[j] == script[start];
    }
    return line;
}

bool IsEndOfTextMessage(const std::string& message)
{
    return message == kOpenCommentAtEnd || message == kOpenBlockAtEnd;
}

void CheckReports(const Outcome& outcome, std::int64_t lastLine)
{
    if (outcome.reports.size() > 3) Fail("more than three messages", outcome);
    if (outcome.ok != outcome.reports.empty()) Fail("success flag disagrees with the messages", outcome);
    std::int64_t previous = 1;
    for (std::size_t i = 0; i < outcome.reports.size(); ++i) {
        const Report& r = outcome.reports[i];
        if (r.message.empty()) Fail("empty message", outcome);
        if (r.line < previous || r.line > lastLine) Fail("line number out of range or decreasing", outcome);
        previous = r.line;
        if (i > 0 && !IsEndOfTextMessage(r.message)) Fail("a line message after the first message", outcome);
        if (IsEndOfTextMessage(r.message) && r.line != lastLine)
            Fail("end-of-text message not on the last line", outcome);
    }
    if (outcome.reports.size() >= 2) {
        const std::string& a = outcome.reports[outcome.reports.size() - 2].message;
        const std::string& b = outcome.reports.back().message;
        if (a == kOpenBlockAtEnd && b == kOpenCommentAtEnd) Fail("end-of-text checks out of order", outcome);
        if (a == b && IsEndOfTextMessage(a)) Fail("end-of-text message repeated", outcome);
    }
}

void CheckSymbols(const Outcome& outcome, const std::vector<std::string>& initial, std::string_view script)
{
    for (const std::string& symbol : outcome.symbols) {
        bool known = false;
        for (const std::string& s : initial) known = known || s == symbol;
        if (!known && script.find(symbol) == std::string_view::npos) Fail("symbol from nowhere", outcome);
    }
}

// True when no line of `script` can be a directive, a comment or hold a macro reference.
bool IsPlainText(std::string_view script)
{
    return script.find_first_of("#&") == std::string_view::npos && script.find("/*") == std::string_view::npos &&
           script.find("*/") == std::string_view::npos && script.find("--") == std::string_view::npos;
}

std::string WithCrLf(std::string_view script)
{
    std::string out;
    out.reserve(script.size() * 2);
    for (char c : script) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string WithoutCr(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view script = input;
    std::vector<std::string> symbols;
    if (std::size_t nul = input.substr(0, 64).find('\0'); nul != std::string_view::npos) {
        std::string_view list = input.substr(0, nul);
        script = input.substr(nul + 1);
        while (!list.empty()) {
            std::size_t comma = list.find(',');
            std::string_view piece = list.substr(0, comma);
            if (!piece.empty()) symbols.emplace_back(piece);
            if (comma == std::string_view::npos) break;
            list.remove_prefix(comma + 1);
        }
    }

    const Outcome outcome = Run(script, symbols);
    const std::int64_t lastLine = LastLineNumber(script);
    CheckReports(outcome, lastLine);
    CheckSymbols(outcome, symbols, script);

    if (IsPlainText(script) && script.size() < 65000) {
        std::string_view expected = script;
        while (!expected.empty() && IsBreak(expected.back())) expected.remove_suffix(1);
        if (!outcome.ok || outcome.output != expected) Fail("plain text not passed through", outcome);
    }

    if (script.find('\r') == std::string_view::npos && script.find('\n') != std::string_view::npos) {
        Outcome crlf = Run(WithCrLf(script), symbols);
        crlf.output = WithoutCr(crlf.output);
        if (!(crlf == outcome)) Fail("CR LF breaks change the result", crlf);
    }

    if (!(Run(script, symbols) == outcome)) Fail("second run differs", outcome);

    tarnwick::PreprocessedPieces pieces;
    std::vector<std::string> pieceSymbols = symbols;
    std::size_t pieceReports = 0;
    bool pieceOk = tarnwick::PreprocessScript(script, pieces, pieceSymbols,
                                              [&](std::int64_t, const std::string&) { ++pieceReports; });
    if (pieceOk != outcome.ok || pieceReports != outcome.reports.size() || pieceSymbols != outcome.symbols) {
        Fail("pieces run differs in its result", outcome);
    }
    if (outcome.ok) {
        std::string text = pieces.ToString();
        if (text != outcome.output || pieces.Size() != text.size())
            Fail("pieces differ from the string output", outcome);
    }
    return 0;
}
