// The a||b form of a pattern ("both parts in either order, the second optional"), rewritten into
// alternatives and groups before the pattern is compiled.

#include <algorithm>

#include "editor/regex.h"
#include "editor/regex_internal.h"

namespace tarnwick {

namespace {

using regex_detail::Fail;

// Skips one element of a pattern that cannot hold a bar or a parenthesis of the pattern's own:
// an escape, a quoted literal or a class. Returns the index after it, or `i` when the character
// at `i` starts none of them.
std::size_t SkipOpaque(std::string_view s, std::size_t i)
{
    const auto skipTo = [&](std::size_t j, char close) {
        while (j < s.size() && s[j] != close) j += s[j] == '\\' ? 2 : 1;
        return std::min(j + 1, s.size());
    };
    switch (s[i]) {
    case '\\': return std::min(i + 2, s.size());
    case '"': return skipTo(i + 1, '"');
    case '[': return skipTo(i + 1, ']');
    default: return i;
    }
}

// Index of the parenthesis closing the one at `open`, or npos.
std::size_t MatchingParen(std::string_view s, std::size_t open)
{
    int depth = 0;
    for (std::size_t i = open; i < s.size();) {
        const std::size_t j = SkipOpaque(s, i);
        if (j != i) {
            i = j;
            continue;
        }
        if (s[i] == '(') ++depth;
        if (s[i] == ')' && --depth == 0) return i;
        ++i;
    }
    return std::string_view::npos;
}

bool IsWholeGroup(std::string_view s) { return !s.empty() && s[0] == '(' && MatchingParen(s, 0) == s.size() - 1; }

// Nesting deeper than this is refused by the compiler anyway; the rewrite leaves it alone.
constexpr int kRewriteDepth = 32;
// A rewritten pattern longer than this could not be compiled into a program of 16-bit offsets.
constexpr std::size_t kMaxRewritten = 1 << 16;

std::string Rewrite(std::string_view s, int depth);

// Rewrites inside every top-level group of `s`.
std::string RewriteGroups(std::string_view s, int depth)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t j = SkipOpaque(s, i);
        if (j != i) {
            out.append(s.substr(i, j - i));
            i = j;
            continue;
        }
        if (s[i] == '(') {
            const std::size_t close = MatchingParen(s, i);
            if (close != std::string_view::npos) {
                out += '(';
                out += Rewrite(s.substr(i + 1, close - i - 1), depth + 1);
                out += ')';
                i = close + 1;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

std::string Rewrite(std::string_view s, int depth)
{
    if (depth > kRewriteDepth) return std::string(s);
    int level = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t j = SkipOpaque(s, i);
        if (j != i) {
            i = j;
            continue;
        }
        if (s[i] == '(') ++level;
        if (s[i] == ')') --level;
        if (level == 0 && s[i] == '|' && i + 1 < s.size() && s[i + 1] == '|') {
            const std::string a = RewriteGroups(s.substr(0, i), depth);
            const std::string b = Rewrite(s.substr(i + 2), depth);
            const auto wrap = [](const std::string& part) { return IsWholeGroup(part) ? part : "(" + part + ")"; };
            const std::string wa = wrap(a), wb = wrap(b);
            // Each a||b doubles its parts: a chain of them grows exponentially.
            if (2 * (wa.size() + wb.size()) > kMaxRewritten) Fail(reTooComplex, static_cast<int>(i) + 1);
            return "((" + wa + wb + "?)|(" + wb + wa + "?))";
        }
        ++i;
    }
    return RewriteGroups(s, depth);
}

}  // namespace

std::string RewriteBothOrders(std::string_view pattern)
{
    if (pattern.find("||") == std::string_view::npos) return std::string(pattern);
    return Rewrite(pattern, 0);
}

}  // namespace tarnwick
