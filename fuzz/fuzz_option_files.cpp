// libFuzzer target for the option files: the version table (".edf") and the conditional defines
// (".cdf"), and the text helpers they are read with.
//
// The input is a file's contents. It goes through the line splitter, the version-table sorting
// (as a list and by inserting line by line), the version-line splitter, the conditional-defines
// splitter, the starting symbol list and the most-recently-used promotion, and, written once to a
// temporary file, through both file readers. Each result is checked against what must hold for
// any input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <unistd.h>

#include "base/ansi_text.h"
#include "versions/version_table.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Fail(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    if (!detail.empty()) std::fprintf(stderr, "  at: [%.*s]\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// One file for the whole run, kept open. It lives in memory (/dev/shm) where there is such a
// folder: rewriting a file on disk tens of thousands of times a second makes some file systems
// flush it every time. Where /proc is there, the file's name is removed at once and the file is
// read through /proc/self/fd, so that not even a crash leaves it behind.
struct TempFile {
    std::string path;
    std::string created;
    int fd = -1;

    TempFile()
    {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
        created = (folder / "tarnwick-fuzz-XXXXXX").string();
        fd = mkstemp(created.data());
        if (fd < 0) Fail("cannot create a temporary file");
        path = created;
        std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd);
        if (std::filesystem::exists(byDescriptor, ec) && unlink(created.c_str()) == 0) {
            path = byDescriptor;
            created.clear();
        }
    }
    ~TempFile()
    {
        close(fd);
        if (!created.empty()) unlink(created.c_str());
    }

    // Replaces the contents with `data`.
    void Write(std::string_view data)
    {
        std::size_t done = 0;
        while (done < data.size()) {
            ssize_t n = pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
            if (n <= 0) Fail("cannot write the temporary file");
            done += static_cast<std::size_t>(n);
        }
        if (ftruncate(fd, static_cast<off_t>(data.size())) != 0) Fail("cannot cut the temporary file");
    }
};

TempFile& Temp()
{
    static TempFile file;
    return file;
}

int Sign(int v) { return (v > 0) - (v < 0); }

// The text with every line break (CR LF, CR, LF) written as LF, less one break at the very end.
std::string NormalisedLines(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void CheckSplitLines(std::string_view text, const std::vector<std::string>& lines)
{
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_of("\r\n") != std::string::npos) Fail("line break inside a line", lines[i]);
        if (i) joined += '\n';
        joined += lines[i];
    }
    if (joined != NormalisedLines(text)) Fail("lines do not rebuild the text");
}

// Checks the text helpers on a pair of lines.
void CheckTextPair(const std::string& a, const std::string& b)
{
    const int ab = AnsiCompareText(a, b);
    if (Sign(ab) != -Sign(AnsiCompareText(b, a))) Fail("comparison not antisymmetric", a);
    if (AnsiCompareText(a, a) != 0) Fail("line not equal to itself", a);
    const bool same = AnsiSameText(a, b);
    if (same && ab != 0) Fail("lines equal but for case are ordered apart", a);
    if (AsciiSameText(a, b) && !same) Fail("ASCII-equal lines differ under the locale", a);
    if (!AnsiSameText(a, AnsiLower(a))) Fail("a line differs from its lower-case form", a);
    if (AsciiStartsWithText(a, b) !=
        (a.size() >= b.size() && AsciiSameText(std::string_view(a).substr(0, b.size()), b))) {
        Fail("prefix test disagrees with equality", a);
    }
    std::string_view t = Trim(a);
    if (!t.empty() && (IsBlank(t.front()) || IsBlank(t.back()))) Fail("trimmed text keeps a blank", a);
    if (std::string_view(a).find(t) == std::string_view::npos) Fail("trimmed text not part of the line", a);
}

void CheckSorted(const std::vector<std::string>& lines, const std::vector<std::string>& sorted)
{
    std::unordered_set<std::string> input(lines.begin(), lines.end());
    std::unordered_map<std::string, const std::string*> folded;
    std::size_t nonEmpty = 0;
    for (const std::string& line : lines) nonEmpty += !line.empty();
    if (sorted.size() > nonEmpty) Fail("sorted list longer than its non-empty input");
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::string& line = sorted[i];
        if (line.empty()) Fail("empty line in the sorted list");
        if (!input.count(line)) Fail("sorted list holds a line that was not read", line);
        if (i && AnsiCompareText(sorted[i - 1], line) >= 0) Fail("sorted list out of order", line);
        auto [it, fresh] = folded.emplace(AnsiLower(line), &line);
        if (!fresh && AnsiSameText(*it->second, line)) Fail("two lines equal but for case", line);
    }
    // No line is lost: each one read is in the list, or one equal to it is.
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        auto at = std::lower_bound(sorted.begin(), sorted.end(), line, [](const std::string& a, const std::string& b) {
            return AnsiCompareText(a, b) < 0;
        });
        if (at == sorted.end() || AnsiCompareText(*at, line) != 0) Fail("a line was lost in sorting", line);
    }
    // Inserting line by line, as the dialog's list does, gives the same list.
    std::vector<std::string> inserted;
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        std::size_t before = inserted.size();
        bool added = InsertSortedVersionLine(inserted, line);
        if (added != (inserted.size() == before + 1) || (!added && inserted.size() != before)) {
            Fail("insert result disagrees with the list", line);
        }
    }
    if (inserted != sorted) Fail("inserting line by line differs from sorting");
}

void CheckVersionLine(const std::string& line)
{
    const SqlVersion v = SqlVersion::FromLine(line);
    if (v.name.find('\t') != std::string::npos || v.define.find('\t') != std::string::npos) {
        Fail("tab in a version's name or define", line);
    }
    const std::string back = v.ToLine();
    if (back.compare(0, line.size(), line) != 0) Fail("version line not rebuilt", line);
    if (std::count(line.begin(), line.end(), '\t') >= 2 && back != line) Fail("version line not rebuilt exactly", line);
    const SqlVersion again = SqlVersion::FromLine(back);
    if (again.name != v.name || again.define != v.define || again.extension != v.extension) {
        Fail("version line does not round-trip", line);
    }
}

// Pieces are the line's non-empty stretches between separating ";"; a ";" separates exactly
// when it is outside double quotes (checked where every quote is closed).
void CheckConditionalDefines(const std::string& line)
{
    const std::vector<std::string> pieces = SplitConditionalDefines(line);
    const bool balanced = std::count(line.begin(), line.end(), '"') % 2 == 0;
    std::vector<bool> quoted(line.size());
    bool inside = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') inside = !inside;
        quoted[i] = inside;
    }
    std::size_t pos = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::string& piece = pieces[k];
        if (piece.empty()) Fail("empty conditional define", line);
        std::size_t skipped = 0;
        while (pos < line.size() && line[pos] == ';' && line.compare(pos, piece.size(), piece) != 0) {
            if (balanced && quoted[pos]) Fail("split at a quoted ';'", line);
            ++pos;
            ++skipped;
        }
        if (k > 0 && skipped == 0) Fail("pieces not separated by ';'", line);
        if (line.compare(pos, piece.size(), piece) != 0) Fail("piece not found in order", line);
        for (std::size_t i = pos; i < pos + piece.size(); ++i) {
            if (balanced && line[i] == ';' && !quoted[i]) Fail("unquoted ';' kept in a piece", line);
        }
        pos += piece.size();
    }
    for (; pos < line.size(); ++pos) {
        if (line[pos] != ';') Fail("text left after the last piece", line);
        if (balanced && quoted[pos]) Fail("split at a quoted ';'", line);
    }
}

void CheckStartingSymbols(const std::vector<std::string>& lines)
{
    const std::string define = lines.empty() ? std::string("VER_A") : lines.back();
    const std::vector<std::string> symbols = StartingSymbols(define, lines);
    if (symbols.empty() || symbols.front() != define) Fail("starting symbols do not begin with the define");
    std::vector<std::string> expected;
    if (!lines.empty()) expected = SplitConditionalDefines(lines.front());
    if (!std::equal(symbols.begin() + 1, symbols.end(), expected.begin(), expected.end())) {
        Fail("starting symbols are not the define and the first line's pieces");
    }
}

void CheckPromote(const std::vector<std::string>& items, const std::string& editText)
{
    const std::vector<std::string> result = PromoteConditionalDefines(items, editText);
    auto found =
        std::find_if(items.begin(), items.end(), [&](const std::string& s) { return AnsiSameText(s, editText); });
    std::vector<std::string> expected;
    if (found != items.end()) {
        expected.push_back(*found);
        expected.insert(expected.end(), items.begin(), found);
        expected.insert(expected.end(), found + 1, items.end());
    } else {
        expected.push_back(editText);
        expected.insert(expected.end(), items.begin(), items.end());
    }
    if (expected.size() > kMaxConditionalDefines) expected.resize(kMaxConditionalDefines);
    if (result != expected) Fail("promoted list is wrong", editText);
}

void CheckOutputFile(const std::string& name, const std::string& extension)
{
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos ||
        extension.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return;
    }
    const std::filesystem::path script = std::filesystem::path("/scripts") / name;
    const std::size_t dot = name.rfind('.');
    const std::string expected = "/scripts/" + name.substr(0, dot) + extension;
    if (VersionOutputFile(script, extension).string() != expected) Fail("output file name is wrong", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::vector<std::string> lines = SplitLines(text);
    CheckSplitLines(text, lines);

    const std::vector<std::string> sorted = SortVersionLines(lines);
    CheckSorted(lines, sorted);

    for (std::size_t i = 0; i < lines.size(); ++i) {
        CheckVersionLine(lines[i]);
        CheckConditionalDefines(lines[i]);
        if (i + 1 < lines.size()) CheckTextPair(lines[i], lines[i + 1]);
    }
    if (lines.size() == 1) CheckTextPair(lines[0], lines[0]);

    CheckStartingSymbols(lines);
    CheckPromote(lines, lines.empty() ? std::string() : lines.back());
    CheckPromote(lines, lines.empty() ? std::string("A") : AnsiLower(lines[lines.size() / 2]));
    if (!lines.empty()) {
        const SqlVersion v = SqlVersion::FromLine(lines.front());
        CheckOutputFile(v.name, v.extension);
    }

    Temp().Write(text);
    if (ReadVersionTable(Temp().path) != sorted) Fail("version table read from a file differs");
    if (ReadConditionalDefines(Temp().path) != lines) Fail("conditional defines read from a file differ");
    return 0;
}
