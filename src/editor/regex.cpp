#include "editor/regex.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace tarnwick {

const char* REErrorText(int id)
{
    switch (id) {
    case reNoError: return "No errors detected";
    case reInvalidParameter: return "Invalid parameter";
    case reTooManySubExpressions: return "Too many sub-expressions";
    case reUnmatchedParenthesis: return "Unmatched parenthesis";
    case reInvalidRepeat: return "Invalid repeat";
    case reNestedRepeat: return "Nested repeat";
    case reInvalidRange: return "Invalid range";
    case reUnmatchedBracket: return "Unmatched bracket";
    case reHexDigitExpected: return "Hex digit expected";
    case reUnexpectedEnd: return "Unexpected end of input";
    case reQuoteExpected: return "' expected";
    case reIndexRange: return "Index range error";
    case reInternalError: return "Internal error";
    case reExpressionNotFound: return "Expression not found";
    case reOutOfMemory: return "Out of memory";
    case reTooComplex: return "Expression too complex";
    default: return "Internal error";
    }
}

namespace {

[[noreturn]] void Fail(int id, int position) { throw ERegularExpression(REErrorText(id), position); }

// ---------------------------------------------------------------- a||b

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

// ---------------------------------------------------------------- compiler

namespace {

constexpr int kHasWidth = 1;  // never matches the empty string
constexpr int kSimple = 2;    // one character exactly: can be the operand of STAR and PLUS

constexpr int kNodeSize = 3;
constexpr int kClassSize = 256;
// Program offsets are 16-bit.
constexpr std::size_t kMaxProgram = 0xFFFF;

// What the compiler knows of a part of the pattern, for the literal the search looks for: how
// long its matches are, the one text it matches when there is only one, and the best literal
// that each of its matches holds, with the distances from the part's start at which it begins.
constexpr std::int64_t kNoBound = -1;
// Lengths beyond this count as unbounded (counted repetitions multiply).
constexpr std::int64_t kLengthCap = std::int64_t(1) << 40;
// A repeated fixed text stays fixed up to this length.
constexpr std::size_t kFixedCap = 64;

std::int64_t AddLength(std::int64_t a, std::int64_t b)
{
    if (a == kNoBound || b == kNoBound) return kNoBound;
    return a + b >= kLengthCap ? kNoBound : a + b;
}
std::int64_t MinLength(std::int64_t a, std::int64_t b) { return std::min(a + b, kLengthCap); }
std::int64_t TimesLength(std::int64_t a, std::int64_t times, bool saturate)
{
    if (a == kNoBound || times == kNoBound) return saturate ? kLengthCap : kNoBound;
    if (a != 0 && times > kLengthCap / a) return saturate ? kLengthCap : kNoBound;
    return a * times;
}

struct Shape {
    std::int64_t min = 0;
    std::int64_t max = 0;  // kNoBound: no bound
    bool fixed = false;    // every match is `text`
    std::string text;
    std::string literal;  // empty: none known
    std::int64_t litMin = 0;
    std::int64_t litMax = 0;

    static Shape Char(std::int64_t length = 1)
    {
        Shape s;
        s.min = s.max = length;
        return s;
    }
    static Shape Fixed(std::string t)
    {
        Shape s;
        s.min = s.max = static_cast<std::int64_t>(t.size());
        // Line breaks end records, and the search looks for literals within records.
        if (t.find('\r') != std::string::npos || t.find('\0') != std::string::npos) return s;
        s.fixed = true;
        s.text = std::move(t);
        return s;
    }
    // Keeps `lit` (at lo..hi from the start) when it serves the search better than the literal
    // held: a bounded distance first, then length, then a rarer character.
    void Consider(const std::string& lit, std::int64_t lo, std::int64_t hi)
    {
        if (lit.empty()) return;
        const auto rarity = [](const std::string& t) {
            std::size_t r = 0;
            for (const char c : t) r = std::max(r, CharRarity(c));
            return r;
        };
        const auto key = [&](const std::string& t, std::int64_t h) {
            return std::make_tuple(h != kNoBound, std::min<std::size_t>(t.size(), 16), rarity(t));
        };
        if (literal.empty() || key(lit, hi) > key(literal, litMax)) {
            literal = lit;
            litMin = lo;
            litMax = hi;
        }
    }
};

bool IsOctal(char c) { return c >= '0' && c <= '7'; }
int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void ClassDigits(bool* set)
{
    for (int c = '0'; c <= '9'; ++c) set[c] = true;
}
void ClassSpace(bool* set)
{
    for (int c : {13, 32, 10, 12, 9, 8}) set[c] = true;
}
void ClassWord(bool* set)
{
    for (int c = 0; c < 256; ++c)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') set[c] = true;
}

}  // namespace

class TRECompiler {
public:
    TRECompiler(std::string_view source, std::vector<std::uint8_t>* program)
        : src_(source), code_(program), sizing_(program == nullptr)
    {
    }

    // Compiles the whole pattern; returns the program size (sizing) and the counters used.
    std::size_t Run()
    {
        size_ = 1;
        if (!sizing_) (*code_)[0] = TREParser::kMagic;
        int flags = 0;
        Reg(false, &flags, &shape_);
        return size_;
    }
    int Counters() const { return counters_; }
    const Shape& PatternShape() const { return shape_; }

private:
    // ---- emitting

    // Offset of a new node (0 in the sizing pass, where nothing is written).
    int Node(std::uint8_t op)
    {
        const std::size_t at = size_;
        Grow(kNodeSize);
        if (sizing_) return 0;
        (*code_)[at] = op;
        (*code_)[at + 1] = (*code_)[at + 2] = 0;
        return static_cast<int>(at);
    }
    void Byte(std::uint8_t b)
    {
        const std::size_t at = size_;
        Grow(1);
        if (!sizing_) (*code_)[at] = b;
    }
    void Grow(std::size_t n)
    {
        size_ += n;
        if (size_ > kMaxProgram) Fail(reTooComplex, Column());
    }
    // Puts a node of `bytes` bytes (the node and its operand) in front of the operand at `at`.
    int Insert(std::uint8_t op, int at, std::size_t bytes, const std::uint8_t* operand = nullptr)
    {
        Grow(bytes);
        if (sizing_) return 0;
        auto& code = *code_;
        const std::size_t end = size_ - bytes;
        std::memmove(code.data() + at + bytes, code.data() + at, end - static_cast<std::size_t>(at));
        code[static_cast<std::size_t>(at)] = op;
        code[static_cast<std::size_t>(at) + 1] = code[static_cast<std::size_t>(at) + 2] = 0;
        if (operand) std::memcpy(code.data() + at + kNodeSize, operand, bytes - kNodeSize);
        return at;
    }

    std::uint8_t OpAt(int p) const { return (*code_)[static_cast<std::size_t>(p)]; }
    int NextOf(int p) const
    {
        const auto& code = *code_;
        const int offset = code[static_cast<std::size_t>(p) + 1] << 8 | code[static_cast<std::size_t>(p) + 2];
        if (offset == 0) return 0;
        return OpAt(p) == TREParser::opBACK ? p - offset : p + offset;
    }
    // Links the last node of the chain starting at `p` to `target`.
    void Tail(int p, int target)
    {
        if (sizing_) return;
        int scan = p;
        for (int n; (n = NextOf(scan)) != 0;) scan = n;
        const int offset = OpAt(scan) == TREParser::opBACK ? scan - target : target - scan;
        (*code_)[static_cast<std::size_t>(scan) + 1] = static_cast<std::uint8_t>(offset >> 8);
        (*code_)[static_cast<std::size_t>(scan) + 2] = static_cast<std::uint8_t>(offset & 0xFF);
    }
    // Tail of the operand of a BRANCH (nothing for other nodes).
    void OpTail(int p, int target)
    {
        if (sizing_ || p == 0 || OpAt(p) != TREParser::opBRANCH) return;
        Tail(p + kNodeSize, target);
    }
    int Here() const { return static_cast<int>(size_); }

    // ---- reading

    bool AtEnd() const { return pos_ >= src_.size(); }
    char Peek() const { return AtEnd() ? '\0' : src_[pos_]; }
    int Column() const { return static_cast<int>(std::min(pos_, src_.size())) + 1; }

    // ---- grammar

    // Alternatives, inside parentheses when `paren`.
    int Reg(bool paren, int* flags, Shape* shape)
    {
        *flags = kHasWidth;
        int ret = 0;
        int depth = 0;
        if (paren) {
            if (depth_ >= 9) Fail(reTooManySubExpressions, Column());
            depth = ++depth_;
            ret = Node(static_cast<std::uint8_t>(TREParser::opOPEN + depth));
        }
        int branchFlags = 0;
        const int first = Branch(&branchFlags, shape);
        if (ret) Tail(ret, first);
        else ret = first;
        if (!(branchFlags & kHasWidth)) *flags &= ~kHasWidth;
        while (Peek() == '|') {
            ++pos_;
            Shape other;
            const int br = Branch(&branchFlags, &other);
            Tail(ret, br);
            if (!(branchFlags & kHasWidth)) *flags &= ~kHasWidth;
            // Either alternative: no one text, and no literal that both are known to hold.
            shape->min = std::min(shape->min, other.min);
            shape->max = shape->max == kNoBound || other.max == kNoBound ? kNoBound : std::max(shape->max, other.max);
            shape->fixed = false;
            shape->text.clear();
            shape->literal.clear();
        }
        const int ender =
            Node(paren ? static_cast<std::uint8_t>(TREParser::opCLOSE + depth) : std::uint8_t{TREParser::opEND});
        Tail(ret, ender);
        if (!sizing_)
            for (int br = ret; br != 0; br = NextOf(br)) OpTail(br, ender);
        if (paren) {
            if (Peek() != ')') Fail(reUnmatchedParenthesis, Column());
            ++pos_;
            --depth_;
        } else if (!AtEnd()) {
            Fail(Peek() == ')' ? reUnmatchedParenthesis : reInternalError, Column());
        }
        return ret;
    }

    // One alternative: a BRANCH node followed by its pieces.
    int Branch(int* flags, Shape* shape)
    {
        *flags = 0;
        const int ret = Node(TREParser::opBRANCH);
        int chain = 0;
        // The pieces one after another: consecutive fixed texts join into one literal.
        *shape = Shape::Fixed("");
        std::string run;
        std::int64_t runMin = 0, runMax = 0;
        while (!AtEnd() && Peek() != '|' && Peek() != ')') {
            int pieceFlags = 0;
            Shape piece;
            const int latest = Piece(&pieceFlags, &piece);
            *flags |= pieceFlags & kHasWidth;
            if (chain) Tail(chain, latest);
            chain = latest;
            if (piece.fixed) {
                if (run.empty()) {
                    runMin = shape->min;
                    runMax = shape->max;
                }
                run += piece.text;
                if (shape->fixed) shape->text += piece.text;
            } else {
                shape->Consider(run, runMin, runMax);
                run.clear();
                shape->Consider(piece.literal, MinLength(shape->min, piece.litMin),
                                AddLength(shape->max, piece.litMax));
                shape->fixed = false;
                shape->text.clear();
            }
            shape->min = MinLength(shape->min, piece.min);
            shape->max = AddLength(shape->max, piece.max);
        }
        shape->Consider(run, runMin, runMax);
        if (chain == 0) Node(TREParser::opNOTHING);
        return ret;
    }

    // An atom and the repetition that may follow it.
    int Piece(int* flags, Shape* shape)
    {
        int atomFlags = 0;
        const int ret = Atom(&atomFlags, shape);
        const char op = Peek();
        if (op != '*' && op != '+' && op != '?' && op != '{') {
            *flags = atomFlags;
            return ret;
        }
        // The first repetition starts where the piece does: it holds the atom's literal.
        const Shape atom = *shape;
        if (atom.fixed) shape->Consider(atom.text, 0, 0);
        shape->fixed = false;
        shape->text.clear();
        const int opColumn = Column();
        if (!(atomFlags & kHasWidth) && op != '?') Fail(reInvalidRepeat, opColumn);
        *flags = op == '+' ? kHasWidth : 0;

        if (op == '{') {
            ++pos_;
            const auto [low, high] = Range(opColumn);
            if (low > 0) *flags = kHasWidth;
            Counted(ret, low, high);
            shape->min = TimesLength(atom.min, low, true);
            shape->max = TimesLength(atom.max, high < 0 ? kNoBound : high, false);
            if (low == 0) shape->literal.clear();
            if (low == high && atom.fixed && atom.text.size() * static_cast<std::size_t>(low) <= kFixedCap) {
                std::string text;
                for (int i = 0; i < low; ++i) text += atom.text;
                *shape = Shape::Fixed(text);
            }
        } else {
            ++pos_;
            if (op != '+') {
                shape->min = 0;
                shape->literal.clear();
            }
            if (op != '?') shape->max = kNoBound;
            if (op == '*' && (atomFlags & kSimple)) {
                Insert(TREParser::opSTAR, ret, kNodeSize);
            } else if (op == '*') {
                // x* : (x BACK | NOTHING)
                Insert(TREParser::opBRANCH, ret, kNodeSize);
                OpTail(ret, Node(TREParser::opBACK));
                OpTail(ret, ret);
                Tail(ret, Node(TREParser::opBRANCH));
                Tail(ret, Node(TREParser::opNOTHING));
            } else if (op == '+' && (atomFlags & kSimple)) {
                Insert(TREParser::opPLUS, ret, kNodeSize);
            } else if (op == '+') {
                // x+ : x (BACK to x | NOTHING)
                const int next = Node(TREParser::opBRANCH);
                Tail(ret, next);
                Tail(Node(TREParser::opBACK), ret);
                Tail(next, Node(TREParser::opBRANCH));
                Tail(ret, Node(TREParser::opNOTHING));
            } else {
                // x? : (x | NOTHING)
                Insert(TREParser::opBRANCH, ret, kNodeSize);
                Tail(ret, Node(TREParser::opBRANCH));
                const int next = Node(TREParser::opNOTHING);
                Tail(ret, next);
                OpTail(ret, next);
            }
        }
        const char after = Peek();
        if (after == '*' || after == '+' || after == '?' || after == '{') Fail(reNestedRepeat, Column());
        return ret;
    }

    // Reads "n}", "n,}", ",m}" or "n,m}" after "{".
    std::pair<int, int> Range(int column)
    {
        const auto number = [&](int* out) {
            bool any = false;
            long value = 0;
            while (Peek() >= '0' && Peek() <= '9') {
                value = std::min<long>(value * 10 + (Peek() - '0'), TREParser::kMaxCount + 1);
                any = true;
                ++pos_;
            }
            *out = static_cast<int>(value);
            return any;
        };
        int low = 0, high = -1;
        const bool hasLow = number(&low);
        bool hasHigh = false;
        if (Peek() == ',') {
            ++pos_;
            hasHigh = number(&high);
            if (!hasHigh) high = -1;
        } else {
            high = low;
            hasHigh = hasLow;
        }
        if (Peek() != '}' || (!hasLow && !hasHigh)) Fail(reInvalidRange, column);
        ++pos_;
        if (low > TREParser::kMaxCount || high > TREParser::kMaxCount || (high >= 0 && high < low))
            Fail(reInvalidRange, column);
        return {low, high};
    }

    // x{n,m}, with counter a holding the repetitions still required and counter b the optional
    // ones still allowed (kUnbounded: any number):
    //   SET a n; SET b m-n;
    //   L: BRANCH ( WHILE-POSITIVE a [DEC a → X] else TEST b [DEC b → X];  X → BACK to L )
    //      BRANCH ( WHILE-BELOW-ONE a → after )
    void Counted(int atom, int low, int high)
    {
        if (counters_ + 2 > TREParser::kCounters) Fail(reTooComplex, Column());
        const auto a = static_cast<std::uint8_t>(counters_++);
        const auto b = static_cast<std::uint8_t>(counters_++);
        const int optional = high < 0 ? 0xFFFF : high - low;
        const std::uint8_t decA[] = {a}, decB[] = {b};
        const std::uint8_t setA[] = {a, static_cast<std::uint8_t>(low >> 8), static_cast<std::uint8_t>(low & 0xFF)};
        const std::uint8_t setB[] = {b, static_cast<std::uint8_t>(optional >> 8),
                                     static_cast<std::uint8_t>(optional & 0xFF)};

        // Build the head in front of the atom, last node first.
        constexpr std::size_t kCounterNode = kNodeSize + 1, kSetNode = kNodeSize + 3;
        Insert(TREParser::opDECREMENT, atom, kCounterNode, decB);      // D2
        Insert(TREParser::opTEST, atom, kCounterNode, decB);           // T
        Insert(TREParser::opDECREMENT, atom, kCounterNode, decA);      // D1
        Insert(TREParser::opWHILEPOSITIVE, atom, kCounterNode, decA);  // W
        Insert(TREParser::opBRANCH, atom, kNodeSize);                  // L
        Insert(TREParser::opSETCOUNTER, atom, kSetNode, setB);         // S2
        Insert(TREParser::opSETCOUNTER, atom, kSetNode, setA);         // S1
        const int s1 = atom, s2 = s1 + static_cast<int>(kSetNode), l = s2 + static_cast<int>(kSetNode),
                  w = l + kNodeSize;
        const int d1 = w + static_cast<int>(kCounterNode), t = d1 + static_cast<int>(kCounterNode);
        const int d2 = t + static_cast<int>(kCounterNode), x = d2 + static_cast<int>(kCounterNode);
        Tail(s1, s2);
        Tail(s2, l);
        Tail(w, t);  // W: counter a is zero
        Tail(d1, x);
        Tail(d2, x);
        Tail(x, Node(TREParser::opBACK));
        Tail(x, l);  // the chain of X ends in BACK; BACK goes to L
        const int l2 = Node(TREParser::opBRANCH);
        Tail(l, l2);
        const int wb = Node(TREParser::opWHILEBELOWONE);
        Byte(a);
        Tail(l2, wb);  // ends the BRANCH chain at WHILE-BELOW-ONE; the caller links it on
    }

    int Atom(int* flags, Shape* shape)
    {
        *flags = 0;
        *shape = Shape::Char();
        const int column = Column();
        const char c = Peek();
        ++pos_;
        switch (c) {
        case '^': return Node(TREParser::opBOL);
        case '$': *shape = Shape::Char(0); return Node(TREParser::opEOL);
        case '.': *flags |= kHasWidth | kSimple; return Node(TREParser::opANY);
        case '[': {
            *flags |= kHasWidth | kSimple;
            return Class(column);
        }
        case '(': {
            int groupFlags = 0;
            const int ret = Reg(true, &groupFlags, shape);
            *flags |= groupFlags & kHasWidth;
            return ret;
        }
        case '|':
        case ')': Fail(reInternalError, column);  // stopped by the callers
        case '?':
        case '+':
        case '*': Fail(reInvalidRepeat, column);
        case '"': {
            std::string text;
            while (!AtEnd() && Peek() != '"') text += Escape(true);
            if (AtEnd()) Fail(reQuoteExpected, Column());
            ++pos_;
            if (!text.empty()) *flags |= kHasWidth;
            if (text.size() == 1) *flags |= kSimple;
            *shape = Shape::Fixed(text);
            return Literal(text);
        }
        case '\\': {
            if (AtEnd()) Fail(reUnexpectedEnd, Column());
            const char e = Peek();
            if (e == 'd' || e == 'D' || e == 's' || e == 'S' || e == 'w' || e == 'W') {
                ++pos_;
                bool set[256] = {};
                if (e == 'd' || e == 'D') ClassDigits(set);
                if (e == 's' || e == 'S') ClassSpace(set);
                if (e == 'w' || e == 'W') ClassWord(set);
                *flags |= kHasWidth | kSimple;
                return ClassNode(e >= 'a' ? TREParser::opANYOF : TREParser::opANYBUT, set);
            }
            --pos_;
            *flags |= kHasWidth | kSimple;
            const std::string text(1, Escape(false));
            *shape = Shape::Fixed(text);
            return Literal(text);
        }
        default:
            *flags |= kHasWidth | kSimple;
            *shape = Shape::Fixed(std::string(1, c));
            return Literal(std::string(1, c));
        }
    }

    // A literal. The stored text never holds a zero byte, and a program string cannot either: a
    // literal that holds one becomes a class that matches nothing.
    int Literal(const std::string& text)
    {
        if (text.find('\0') != std::string::npos) {
            bool none[256] = {};
            return ClassNode(TREParser::opANYOF, none);
        }
        const int ret = Node(TREParser::opEXACTLY);
        for (char ch : text) Byte(static_cast<std::uint8_t>(ch));
        Byte(0);
        return ret;
    }

    int ClassNode(std::uint8_t op, const bool* set)
    {
        const int ret = Node(op);
        for (int i = 0; i < kClassSize; ++i) Byte(set[i] ? 1 : 0);
        return ret;
    }

    // [set] or [^set] after "[".
    int Class(int column)
    {
        std::uint8_t op = TREParser::opANYOF;
        if (Peek() == '^') {
            op = TREParser::opANYBUT;
            ++pos_;
        }
        bool set[256] = {};
        bool any = false;
        while (!AtEnd() && Peek() != ']') {
            const int itemColumn = Column();
            const auto from = static_cast<unsigned char>(Peek() == '\\' ? Escape(false) : src_[pos_++]);
            if (Peek() == '-') {
                ++pos_;
                if (AtEnd() || Peek() == ']') Fail(reInvalidRange, itemColumn);
                const auto to = static_cast<unsigned char>(Peek() == '\\' ? Escape(false) : src_[pos_++]);
                if (to < from) Fail(reInvalidRange, itemColumn);
                for (int ch = from; ch <= to; ++ch) set[ch] = true;
            } else {
                set[from] = true;
            }
            any = true;
        }
        if (AtEnd() || !any) Fail(reUnmatchedBracket, column);
        ++pos_;
        return ClassNode(op, set);
    }

    // One character, escape processed when it starts with a backslash (`quoted`: inside "...",
    // where every character is read this way).
    char Escape(bool quoted)
    {
        if (Peek() != '\\') return src_[pos_++];
        (void)quoted;
        ++pos_;
        if (AtEnd()) Fail(reUnexpectedEnd, Column());
        const char e = src_[pos_++];
        switch (e) {
        case 'b':
        case 'B': return 8;
        case 'f':
        case 'F': return 12;
        case 'n':
        case 'N': return 13;
        case 'r':
        case 'R': return 10;
        case 't':
        case 'T': return 9;
        case 'x':
        case 'X': {
            int value = HexValue(Peek());
            if (value < 0) Fail(reHexDigitExpected, Column());
            ++pos_;
            if (HexValue(Peek()) >= 0) value = value * 16 + HexValue(src_[pos_++]);
            return static_cast<char>(value);
        }
        default:
            if (IsOctal(e)) {
                int value = e - '0';
                for (int i = 0; i < 2 && IsOctal(Peek()); ++i) value = value * 8 + (src_[pos_++] - '0');
                return static_cast<char>(value & 0xFF);
            }
            return e;  // a space, a sign or any other character stands for itself
        }
    }

    std::string_view src_;
    std::vector<std::uint8_t>* code_;
    bool sizing_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    int depth_ = 0;
    int counters_ = 0;
    Shape shape_;
};

TREParser::TREParser() { positions_.fill(-1); }

namespace {

// The resource number of an error's message.
int ErrorIdOf(const ERegularExpression& e)
{
    for (int id = reInvalidParameter; id <= reTooComplex; ++id)
        if (e.what() == std::string_view(REErrorText(id))) return id;
    return reInternalError;
}

}  // namespace

bool TREParser::SetExpression(std::string_view pattern)
{
    if (!expression_.empty() && pattern == expression_) {
        errorId_ = reNoError;
        errorPosition_ = 0;
        return true;
    }
    try {
        Compile(pattern);
        expression_ = std::string(pattern);
        errorId_ = reNoError;
        errorPosition_ = 0;
        return true;
    } catch (const ERegularExpression& e) {
        expression_.clear();
        program_.clear();
        literal_.clear();
        groupOpens_.clear();
        groupCloses_.clear();
        errorPosition_ = e.Position();
        errorId_ = ErrorIdOf(e);
        return false;
    }
}

void TREParser::Compile(std::string_view pattern)
{
    program_.clear();
    if (pattern.empty()) Fail(reInvalidParameter, 1);
    const std::string source = RewriteBothOrders(pattern);
    TRECompiler sizing(source, nullptr);
    const std::size_t size = sizing.Run();
    std::vector<std::uint8_t> program(size + 256, 0);
    TRECompiler emit(source, &program);
    emit.Run();
    program.resize(size);
    program_ = std::move(program);
    counters_ = emit.Counters();
    const Shape& shape = emit.PatternShape();
    literal_ = shape.literal;
    literalMin_ = shape.litMin;
    literalMax_ = shape.litMax;
    scanner_.Prepare(literal_, false);
    Analyse();
}

std::int64_t TREParser::Position(int index) const
{
    if (index < 0 || index >= kPositions) throw ERegularExpression(REErrorText(reIndexRange), 0);
    return positions_[static_cast<std::size_t>(index)];
}

std::pair<std::int64_t, std::int64_t> TREParser::Group(int n) const
{
    if (n < 1 || n > GroupCount() || groups_.size() < 2 * static_cast<std::size_t>(n)) return {-1, -1};
    return {groups_[2 * static_cast<std::size_t>(n) - 2], groups_[2 * static_cast<std::size_t>(n) - 1]};
}

// ---------------------------------------------------------------- matcher

namespace {
constexpr int kRecordLimit = 254;
// Characters a repetition gives back one by one before it looks for the next place where the
// rest can start (a byte search costs more than a few steps).
constexpr int kStepBackOneByOne = 16;
constexpr std::int32_t kUnbounded = 0xFFFF;
}  // namespace

class TREMatcher {
public:
    TREMatcher(TREParser& re, TEdStream& stream)
        : re_(re), prog_(re.program_.data()), s_(stream), groups_(2 * re.groupOpens_.size(), -1)
    {
        trail_.reserve(64);
    }

    // Tries to match at the stream's position.
    bool Try()
    {
        re_.count_ = 0;
        groupStart_ = 0;
        trail_.clear();
        std::fill(groups_.begin(), groups_.end(), -1);
        steps_ = 0;
        stepLimit_ = TREParser::kStepBudget;
        start_ = farthest_ = s_.GetPos();
        depth_ = 0;
        return Match(1);
    }

    // When the program starts with a repetition that failed for every start from `from` on to
    // some later place, that place: no try before it can succeed. Otherwise `from`.
    std::int64_t FailedThrough(std::int64_t from)
    {
        if (re_.leadRepeat_ == 0) return from;
        const Range* failed = FailedRange(re_.leadRepeat_);
        return failed && failed->first == from && failed->second > from ? failed->second : from;
    }

    // Clears the entries the tries wrote beyond those of the match found, and keeps the groups
    // of the match.
    void Finish(bool found)
    {
        const int keep = found ? std::min(re_.count_ + 3, TREParser::kPositions) : 0;
        for (int i = keep; i <= highWater_ && i < TREParser::kPositions; ++i)
            re_.positions_[static_cast<std::size_t>(i)] = -1;
        if (!found) re_.count_ = 0;
        re_.groups_ = groups_;
        if (!found) std::fill(re_.groups_.begin(), re_.groups_.end(), -1);
    }

private:
    struct Saved {
        TEdStream::Place place;
        int count;
        int groupStart;
        std::size_t trail;
    };
    Saved Save() const { return {s_.Save(), re_.count_, groupStart_, trail_.size()}; }
    void Restore(const Saved& saved)
    {
        s_.Restore(saved.place);
        re_.count_ = saved.count;
        groupStart_ = saved.groupStart;
        while (trail_.size() > saved.trail) {
            const Change& c = trail_.back();
            if (c.slot < TREParser::kCounters)
                counters_[static_cast<std::size_t>(c.slot)] = static_cast<std::int32_t>(c.old);
            else groups_[static_cast<std::size_t>(c.slot - TREParser::kCounters)] = c.old;
            trail_.pop_back();
        }
    }

    std::uint8_t Op(int p) const { return prog_[p]; }
    int Next(int p) const
    {
        const int offset = prog_[p + 1] << 8 | prog_[p + 2];
        if (offset == 0) return 0;
        return prog_[p] == TREParser::opBACK ? p - offset : p + offset;
    }
    unsigned char Cur() const { return static_cast<unsigned char>(s_.CurrentChar()); }

    void Record()
    {
        if (re_.count_ >= kRecordLimit) throw ERegularExpression(REErrorText(reIndexRange), 0);
        re_.positions_[static_cast<std::size_t>(re_.count_)] = s_.GetPos();
        highWater_ = std::max(highWater_, re_.count_);
        ++re_.count_;
    }
    void Step(std::int64_t n = 1)
    {
        steps_ += n;
        total_ += n;
        if (steps_ > stepLimit_ || total_ > totalBudget_) OverBudget();
    }
    // The try has used its steps so far: it may go on when the text it read allows more.
    void OverBudget()
    {
        farthest_ = std::max(farthest_, s_.GetPos());
        stepLimit_ = TREParser::kStepBudget + TREParser::kStepsPerCharRead * (farthest_ - start_);
        if (steps_ > stepLimit_ || total_ > totalBudget_) throw ERegularExpression(REErrorText(reTooComplex), 0);
    }
    void SetCounter(int k, std::int32_t value)
    {
        trail_.push_back({k, counters_[static_cast<std::size_t>(k)]});
        counters_[static_cast<std::size_t>(k)] = value;
    }
    // An outermost group opens (`end` false) or closes at the stream's position.
    void SetGroup(int node, bool end)
    {
        const auto& nodes = end ? re_.groupCloses_ : re_.groupOpens_;
        const auto it = std::lower_bound(nodes.begin(), nodes.end(), node);
        if (it == nodes.end() || *it != node) throw ERegularExpression(REErrorText(reInternalError), 0);
        const int slot = 2 * static_cast<int>(it - nodes.begin()) + (end ? 1 : 0);
        trail_.push_back({TREParser::kCounters + slot, groups_[static_cast<std::size_t>(slot)]});
        groups_[static_cast<std::size_t>(slot)] = s_.GetPos();
    }

    // Moves the stream back to the last place before its own, and not before `lowest`, whose
    // character is `ch`, a step for each character passed; false when there is none.
    bool BackToChar(unsigned char ch, std::int64_t lowest)
    {
        const TTextStore* store = s_.Store();
        const TEdStream::Place from = s_.Save();
        if (!store || !from.record) return false;
        TLineRecord* record = from.record;
        std::int64_t start = from.position - from.inRecord;  // of the record
        std::int64_t top = from.inRecord;                    // its places before this one are left
        for (;;) {
            const std::int64_t bottom = std::max<std::int64_t>(0, lowest - start);
            if (top > bottom) {
                const char* text = record->Text();
                if (const void* hit = memrchr(text + bottom, ch, static_cast<std::size_t>(top - bottom))) {
                    const std::int64_t i = static_cast<const char*>(hit) - text;
                    Step(from.position - (start + i));
                    s_.Restore({record, i, start + i});
                    return true;
                }
            }
            if (start <= lowest) break;
            record = store->Prev(record);
            if (!record) break;
            start -= record->Length();
            top = record->Length();
        }
        Step(from.position - lowest);
        return false;
    }

    // How many times the one-character node at `p` matches from here; the stream moves past them.
    std::int64_t Repeat(int p, std::int64_t limit)
    {
        std::int64_t n = 0;
        const std::uint8_t* set = prog_ + p + 3;
        switch (Op(p)) {
        case TREParser::opANY:
            while (n < limit && !s_.AtEnd() && Cur() != '\r') s_.NextChar(), ++n;
            break;
        case TREParser::opEXACTLY: {
            const unsigned char ch = prog_[p + 3];
            while (n < limit && !s_.AtEnd() && Cur() == ch) s_.NextChar(), ++n;
            break;
        }
        case TREParser::opANYOF:
            while (n < limit && !s_.AtEnd() && set[Cur()]) s_.NextChar(), ++n;
            break;
        case TREParser::opANYBUT:
            while (n < limit && !s_.AtEnd() && !set[Cur()]) s_.NextChar(), ++n;
            break;
        default: throw ERegularExpression(REErrorText(reInternalError), 0);
        }
        farthest_ = std::max(farthest_, s_.GetPos());
        Step(n);
        return n;
    }

    bool Match(int scan)
    {
        struct Depth {
            int& d;
            explicit Depth(int& depth) : d(depth)
            {
                if (++d > TREParser::kDepthBudget) throw ERegularExpression(REErrorText(reTooComplex), 0);
            }
            ~Depth() { --d; }
        } depth(depth_);

        while (scan != 0) {
            Step();
            int next = Next(scan);
            const std::uint8_t op = Op(scan);
            switch (op) {
            case TREParser::opEND: {
                const std::int64_t at = s_.GetPos();
                for (int i = re_.count_; i < re_.count_ + 3 && i < TREParser::kPositions; ++i) {
                    re_.positions_[static_cast<std::size_t>(i)] = at;
                    highWater_ = std::max(highWater_, i);
                }
                return true;
            }
            case TREParser::opBOL:
                // Recorded like the other nodes that consume, so that a match of ^x starts at
                // the line break it consumed.
                Record();
                if (s_.AtEnd() || Cur() != '\r') return false;
                s_.NextChar();
                break;
            case TREParser::opEOL:
                Record();
                if (s_.AtEnd() || Cur() != '\r') return false;
                break;
            case TREParser::opANY:
                Record();
                if (s_.AtEnd() || Cur() == '\r') return false;
                s_.NextChar();
                break;
            case TREParser::opANYOF:
            case TREParser::opANYBUT:
                Record();
                if (s_.AtEnd() || (prog_[scan + 3 + Cur()] != 0) != (op == TREParser::opANYOF)) return false;
                s_.NextChar();
                break;
            case TREParser::opEXACTLY:
                Record();
                for (const std::uint8_t* p = prog_ + scan + 3; *p; ++p) {
                    if (s_.AtEnd() || Cur() != *p) return false;
                    s_.NextChar();
                }
                break;
            case TREParser::opNOTHING:
            case TREParser::opBACK: break;
            case TREParser::opBRANCH:
                if (Op(next) != TREParser::opBRANCH) {
                    next = scan + 3;  // one alternative: no choice to remember
                    break;
                } else {
                    const Saved saved = Save();
                    do {
                        if (Match(scan + 3)) return true;
                        Restore(saved);
                        scan = Next(scan);
                    } while (scan != 0 && Op(scan) == TREParser::opBRANCH);
                    return false;
                }
            case TREParser::opSTAR:
            case TREParser::opPLUS: {
                Record();
                const std::int64_t min = op == TREParser::opPLUS ? 1 : 0;
                const std::int64_t from = s_.GetPos();
                // The rest of the program failed after every count of an earlier visit that
                // started at or before this one and ran through here: it fails again.
                Range* failed = FailedRange(scan);
                if (failed && from >= failed->first && from <= failed->second) return false;
                // A run that reaches the start of that earlier visit goes on through it, and the
                // rest already failed at every place from there on (searching backwards, each
                // try starts one character before the last): count up to there and try only the
                // places before it.
                const bool before = failed && from < failed->first && failed->first <= failed->second;
                std::int64_t n = Repeat(scan + 3, before ? failed->first - from : INT64_MAX);
                std::int64_t to = from + n;
                if (before && to == failed->first) {
                    to = failed->second;
                    if (min == 0) {
                        if (n == 0) {
                            *failed = {from, to};
                            return false;
                        }
                        --n;
                        s_.PrevChar();
                    }
                }
                // Only places where the rest can start are worth a try.
                const int hint = Op(next) == TREParser::opEXACTLY ? prog_[next + 3] : -1;
                for (int stepped = 0; n >= min;) {
                    if (hint < 0 || (!s_.AtEnd() && Cur() == hint)) {
                        const Saved saved = Save();
                        if (Match(next)) return true;
                        Restore(saved);
                    }
                    if (--n < min) break;
                    if (hint >= 0 && ++stepped > kStepBackOneByOne) {
                        // A long way back: straight to the next place where the rest can start.
                        if (!BackToChar(static_cast<unsigned char>(hint), from + min)) break;
                        n = s_.GetPos() - from;
                        continue;
                    }
                    s_.PrevChar();
                    Step();
                }
                if (failed) *failed = {from, to};
                return false;
            }
            case TREParser::opSETCOUNTER: SetCounter(prog_[scan + 3], prog_[scan + 4] << 8 | prog_[scan + 5]); break;
            case TREParser::opDECREMENT: {
                const int k = prog_[scan + 3];
                const std::int32_t value = counters_[static_cast<std::size_t>(k)];
                if (value != kUnbounded && value > 0) SetCounter(k, value - 1);
                break;
            }
            case TREParser::opTEST:
                if (counters_[prog_[scan + 3]] == 0) return false;
                next = scan + 4;
                break;
            case TREParser::opWHILEPOSITIVE:
                if (counters_[prog_[scan + 3]] > 0) next = scan + 4;
                break;
            case TREParser::opWHILEBELOWONE:
                if (counters_[prog_[scan + 3]] >= 1) return false;
                break;
            default:
                if (op > TREParser::opOPEN && op <= TREParser::opOPEN + 9) {
                    Record();
                    if (op == TREParser::opOPEN + 1) {
                        groupStart_ = re_.count_ - 1;
                        SetGroup(scan, false);
                    }
                } else if (op > TREParser::opCLOSE && op <= TREParser::opCLOSE + 9) {
                    if (op == TREParser::opCLOSE + 1) {
                        re_.count_ = groupStart_ + 1;
                        SetGroup(scan, true);
                    }
                } else {
                    throw ERegularExpression(REErrorText(reInternalError), 0);
                }
            }
            scan = next;
        }
        return false;
    }

    // Whether the rest of the program matches at a place depends only on the place, unless
    // counters are in play; then a failed repetition can be remembered by the range it covered.
    using Range = std::pair<std::int64_t, std::int64_t>;
    Range* FailedRange(int node)
    {
        if (re_.counters_ > 0) return nullptr;
        const auto& nodes = re_.repeatNodes_;
        const auto it = std::lower_bound(nodes.begin(), nodes.end(), node);
        if (it == nodes.end() || *it != node) return nullptr;
        return &failed_[static_cast<std::size_t>(it - nodes.begin())];
    }

    TREParser& re_;
    const std::uint8_t* prog_;
    TEdStream& s_;
    std::vector<Range> failed_ = std::vector<Range>(re_.repeatNodes_.size(), Range{1, 0});
    int groupStart_ = 0;
    std::array<std::int32_t, TREParser::kCounters> counters_{};
    std::vector<std::int64_t> groups_;  // start and end of each outermost group in this try
    // Changes undone on backtracking: slots below kCounters are counters, the others groups.
    struct Change {
        int slot;
        std::int64_t old;
    };
    std::vector<Change> trail_;
    std::int64_t steps_ = 0;
    std::int64_t stepLimit_ = TREParser::kStepBudget;
    std::int64_t start_ = 0;     // where the try started
    std::int64_t farthest_ = 0;  // the farthest place it read
    std::int64_t total_ = 0;
    std::int64_t totalBudget_ = TREParser::kSearchBudget + TREParser::kSearchBudgetPerChar * s_.Size();
    int depth_ = 0;
    int highWater_ = -1;
};

// ---------------------------------------------------------------- first characters

namespace {

struct FirstCharWalk {
    const std::vector<std::uint8_t>& prog;
    TByteSet set;
    int visits = 0;

    std::uint8_t Op(int p) const { return prog[static_cast<std::size_t>(p)]; }
    int Next(int p) const
    {
        const int offset = prog[static_cast<std::size_t>(p) + 1] << 8 | prog[static_cast<std::size_t>(p) + 2];
        if (offset == 0) return 0;
        return Op(p) == TREParser::opBACK ? p - offset : p + offset;
    }
    void AddNode(int p)
    {
        const std::uint8_t* operand = prog.data() + p + 3;
        switch (Op(p)) {
        case TREParser::opANY:
            for (int c = 0; c < 256; ++c)
                if (c != '\r') set.Include(static_cast<unsigned>(c));
            break;
        case TREParser::opANYOF:
        case TREParser::opANYBUT:
            for (int c = 0; c < 256; ++c)
                if ((operand[c] != 0) == (Op(p) == TREParser::opANYOF)) set.Include(static_cast<unsigned>(c));
            break;
        case TREParser::opEXACTLY: set.Include(operand[0]); break;
        default: break;
        }
    }

    // Adds the characters a match from `scan` can start with; true when it may match the empty
    // string (or the walk gives up), so that any position may start a match.
    bool Walk(int scan, int depth)
    {
        if (depth > 64) return true;
        while (scan != 0) {
            if (++visits > 100000) return true;
            const std::uint8_t op = Op(scan);
            switch (op) {
            case TREParser::opEND:
            case TREParser::opBACK: return true;
            case TREParser::opBOL:
            case TREParser::opEOL: set.Include('\r'); return false;
            case TREParser::opANY:
            case TREParser::opANYOF:
            case TREParser::opANYBUT: AddNode(scan); return false;
            case TREParser::opEXACTLY:
                if (prog[static_cast<std::size_t>(scan) + 3] == 0) break;  // the empty literal
                AddNode(scan);
                return false;
            case TREParser::opPLUS: AddNode(scan + 3); return false;
            case TREParser::opSTAR: AddNode(scan + 3); break;
            case TREParser::opBRANCH:
                if (Op(Next(scan)) != TREParser::opBRANCH) {
                    if (Walk(scan + 3, depth + 1)) return true;
                    return false;
                }
                for (int br = scan; br != 0 && Op(br) == TREParser::opBRANCH; br = Next(br))
                    if (Walk(br + 3, depth + 1)) return true;
                return false;
            case TREParser::opTEST: return Walk(scan + 4, depth + 1);
            case TREParser::opWHILEPOSITIVE:
                if (Walk(scan + 4, depth + 1)) return true;
                break;
            default: break;  // OPEN, CLOSE, NOTHING, counters: nothing consumed
            }
            scan = Next(scan);
        }
        return true;
    }
};

}  // namespace

void TREParser::Analyse()
{
    // Nodes lie one after another: walk them to find the repetitions and the outermost groups.
    repeatNodes_.clear();
    groupOpens_.clear();
    groupCloses_.clear();
    for (std::size_t p = 1; p + 3 <= program_.size();) {
        const std::uint8_t op = program_[p];
        if (op == opSTAR || op == opPLUS) repeatNodes_.push_back(static_cast<int>(p));
        if (op == opOPEN + 1) groupOpens_.push_back(static_cast<int>(p));
        if (op == opCLOSE + 1) groupCloses_.push_back(static_cast<int>(p));
        std::size_t operand = 0;
        switch (op) {
        case opANYOF:
        case opANYBUT: operand = 256; break;
        case opEXACTLY:
            while (p + 3 + operand < program_.size() && program_[p + 3 + operand] != 0) ++operand;
            ++operand;
            break;
        case opSETCOUNTER: operand = 3; break;
        case opDECREMENT:
        case opTEST:
        case opWHILEPOSITIVE:
        case opWHILEBELOWONE: operand = 1; break;
        default: break;
        }
        p += 3 + operand;
    }
    // Outermost groups do not nest: each opens and closes before the next opens.
    if (groupOpens_.size() != groupCloses_.size()) throw ERegularExpression(REErrorText(reInternalError), 0);
    groups_.assign(2 * groupOpens_.size(), -1);

    // The repetition every match starts with: the first node of the program's only alternative.
    leadRepeat_ = 0;
    if (program_.size() > 4 && program_[1] == opBRANCH && program_[4] != opBRANCH) {
        const int next = program_[2] << 8 | program_[3];
        if (next != 0 && program_[1 + static_cast<std::size_t>(next)] != opBRANCH &&
            (program_[4] == opSTAR || program_[4] == opPLUS))
            leadRepeat_ = 4;
    }
    FirstCharWalk walk{program_, {}};
    anyFirst_ = walk.Walk(1, 0);
    first_ = walk.set;
    if (anyFirst_) first_.IncludeRange(0, 255);
    for (int c = 0; c < 256; ++c) firstTable_[static_cast<std::size_t>(c)] = first_.Contains(static_cast<unsigned>(c));
    firstIsOneChar_ = !anyFirst_ && first_.Count() == 1;
    if (firstIsOneChar_)
        for (int c = 0; c < 256; ++c)
            if (first_.Contains(static_cast<unsigned>(c))) firstChar_ = static_cast<unsigned char>(c);
}

// ---------------------------------------------------------------- search

namespace {

// Moves the stream to the next place at or after its position (forwards) or at or before it
// (backwards) whose character is in `set`; false when there is none. Reads the records directly.
bool SkipToCandidate(TEdStream& stream, const std::array<bool, 256>& set, bool oneChar, unsigned char only,
                     bool forward)
{
    const TTextStore* store = stream.Store();
    TEdStream::Place at = stream.Save();
    if (!store || !at.record) return false;
    if (forward) {
        while (at.record) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            std::int64_t i = at.inRecord;
            if (oneChar) {
                const void* hit =
                    i < length ? std::memchr(text + i, only, static_cast<std::size_t>(length - i)) : nullptr;
                i = hit ? static_cast<const char*>(hit) - text : length;
            } else {
                while (i < length && !set[static_cast<unsigned char>(text[i])]) ++i;
            }
            if (i < length) {
                stream.Restore({at.record, i, at.position + (i - at.inRecord)});
                return true;
            }
            TLineRecord* next = store->Next(at.record);
            if (!next) {
                stream.Restore({at.record, length, at.position + (length - at.inRecord)});
                return false;
            }
            at = {next, 0, at.position + (length - at.inRecord)};
        }
        return false;
    }
    while (at.record) {
        const char* text = at.record->Text();
        std::int64_t i = std::min<std::int64_t>(at.inRecord, at.record->Length() - 1);
        const std::int64_t recordStart = at.position - at.inRecord;
        if (oneChar) {
            const void* hit = i >= 0 ? memrchr(text, only, static_cast<std::size_t>(i + 1)) : nullptr;
            i = hit ? static_cast<const char*>(hit) - text : -1;
        } else {
            while (i >= 0 && !set[static_cast<unsigned char>(text[i])]) --i;
        }
        if (i >= 0) {
            stream.Restore({at.record, i, recordStart + i});
            return true;
        }
        TLineRecord* prev = store->Prev(at.record);
        if (!prev) return false;
        at = {prev, prev->Length() - 1, recordStart - 1};
    }
    return false;
}

// Finds the literal every match holds in windows of text read from the store. A window that
// does not hold it is followed by one twice as long (up to a limit), so that a long stretch
// without the literal is read in large pieces while one found near the start costs little.
class LiteralWindows {
public:
    LiteralWindows(TEdStream& stream, const TLiteralScanner& scanner, std::vector<char>& buffer)
        : stream_(stream), scanner_(scanner), buf_(buffer), n_(static_cast<std::int64_t>(scanner.Size()))
    {
    }

    // The first place at or after `from` where the literal starts; -1 when there is none.
    std::int64_t First(std::int64_t from)
    {
        const std::int64_t size = stream_.Size();
        if (!looked_) {
            looked_ = true;
            if (const std::int64_t hit = FirstInPlace(from); hit >= 0) return hit;
        }
        for (;;) {
            if (from + n_ > size) return -1;
            if (from < base_ || from + n_ > end_) {
                // A new window from `from` on.
                base_ = from;
                end_ = std::min(size, from + std::max(window_, n_));
                window_ = std::min(2 * window_, kLargest);
                if (!Read()) return -1;
            }
            if (const char* hit = scanner_.First(At(from), At(end_))) return base_ + (hit - buf_.data());
            from = end_ - n_ + 1;  // the places before it are done
            if (from + n_ > end_ && end_ == size) return -1;
            base_ = end_ = 0;
        }
    }

    // The last place at or before `from` where the literal starts (it may end after `from`); -1
    // when there is none.
    std::int64_t Last(std::int64_t from)
    {
        const std::int64_t size = stream_.Size();
        from = std::min(from, size - n_);
        if (!looked_) {
            looked_ = true;
            if (const std::int64_t hit = LastInPlace(from); hit >= 0) return hit;
        }
        for (;;) {
            if (from < 0) return -1;
            if (from < base_ || from + n_ > end_) {
                end_ = from + n_;
                base_ = std::max<std::int64_t>(0, end_ - std::max(window_, n_));
                window_ = std::min(2 * window_, kLargest);
                if (!Read(true)) return -1;
            }
            if (const char* hit = scanner_.Last(At(base_), At(from + n_))) return base_ + (hit - buf_.data());
            if (base_ == 0) return -1;
            from = base_ - 1;
            base_ = end_ = 0;
        }
    }

    // The character at `offset` when the window holds it, else -1.
    int CharAt(std::int64_t offset) const
    {
        return offset >= base_ && offset < end_ ? static_cast<unsigned char>(*At(offset)) : -1;
    }

private:
    static constexpr std::int64_t kFirst = 1 << 9;

    // Before the first window: the records near `from` are searched where they lie. A search
    // that finds the literal in the next few lines (the next of many matches) copies nothing.
    // The literal holds no line break, so only a line that goes on in the next record can hold
    // it across records: there the windows take over. Returns the place found, or -1 with
    // `from` moved past the places done.
    std::int64_t FirstInPlace(std::int64_t& from)
    {
        const TTextStore* store = stream_.Store();
        MoveStreamTo(stream_, from);
        TEdStream::Place at = stream_.Save();
        if (!store || !at.record) return -1;
        std::int64_t start = at.position - at.inRecord;  // of the record
        for (std::int64_t read = 0; read < kFirst;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            if (from - start <= length - n_) {
                if (const char* hit = scanner_.First(text + (from - start), text + length)) return start + (hit - text);
                from = start + length - n_ + 1;
            }
            if (!at.record->EndsWithBreak()) return -1;
            TLineRecord* next = store->Next(at.record);
            if (!next) return -1;
            read += length;
            start += length;
            at.record = next;
            from = std::max(from, start);
        }
        return -1;
    }
    std::int64_t LastInPlace(std::int64_t& from)
    {
        const TTextStore* store = stream_.Store();
        if (from < 0) return -1;
        MoveStreamTo(stream_, from);
        TEdStream::Place at = stream_.Save();
        if (!store || !at.record || at.inRecord >= at.record->Length()) return -1;
        std::int64_t start = at.position - at.inRecord;
        for (std::int64_t read = 0; read < kFirst;) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            if (!at.record->EndsWithBreak() && store->Next(at.record) && from > start + length - n_) return -1;
            const std::int64_t top = std::min(from, start + length - n_);
            if (top >= start)
                if (const char* hit = scanner_.Last(text, text + (top - start + n_))) return start + (hit - text);
            from = start - 1;
            TLineRecord* prev = store->Prev(at.record);
            if (!prev) return -1;
            read += length;
            start -= prev->Length();
            at.record = prev;
        }
        return -1;
    }

    static constexpr std::int64_t kLargest = 1 << 20;

    const char* At(std::int64_t offset) const { return buf_.data() + (offset - base_); }
    bool Read(bool backwards = false) { return ReadTextWindow(stream_, buf_, base_, end_, backwards) == end_ - base_; }

    TEdStream& stream_;
    const TLiteralScanner& scanner_;
    std::vector<char>& buf_;
    const std::int64_t n_;
    std::int64_t base_ = 0, end_ = 0;  // the window read: [base_, end_)
    std::int64_t window_ = kFirst;
    bool looked_ = false;  // the records near the first place have been searched in place
};

}  // namespace

bool TREParser::Search(TEdStream& stream, bool forward) { return Run(stream, forward, true); }

bool TREParser::SearchEveryPlace(TEdStream& stream, bool forward) { return Run(stream, forward, false); }

bool TREParser::Run(TEdStream& stream, bool forward, bool shortcuts)
{
    if (program_.empty()) throw ERegularExpression(REErrorText(reInvalidParameter), 0);
    positions_.fill(-1);
    count_ = 0;
    TREMatcher matcher(*this, stream);
    bool found = false;
    struct Finish {
        TREMatcher& m;
        bool& found;
        ~Finish() { m.Finish(found); }
    } finish{matcher, found};

    try {
        const bool byLiteral = shortcuts && !literal_.empty() && literalMax_ != kNoBound && stream.Store();
        if (forward) {
            if (byLiteral) return found = ForwardByLiteral(stream, matcher);
            while (!stream.AtEnd()) {
                if (shortcuts && !anyFirst_ && !SkipToCandidate(stream, firstTable_, firstIsOneChar_, firstChar_, true))
                    return false;
                const TEdStream::Place at = stream.Save();
                if (matcher.Try()) return found = true;
                stream.Restore(at);
                const std::int64_t resume = shortcuts ? matcher.FailedThrough(at.position) : at.position;
                if (resume > at.position + 1) MoveStreamTo(stream, resume);
                else stream.NextChar();
            }
            return false;
        }
        if (stream.Size() == 0) return false;
        if (stream.AtEnd()) stream.PrevChar();
        if (byLiteral) return found = BackwardByLiteral(stream, matcher);
        for (;;) {
            if (shortcuts && !anyFirst_ && !SkipToCandidate(stream, firstTable_, firstIsOneChar_, firstChar_, false))
                return false;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return found = true;
            stream.Restore(at);
            if (stream.GetPos() == 0) return false;
            stream.PrevChar();
        }
    } catch (const ERegularExpression& e) {
        // What went wrong in the search is the last error now.
        errorId_ = ErrorIdOf(e);
        errorPosition_ = e.Position();
        throw;
    }
}

// A match from a place p holds the literal from p + literalMin_ to p + literalMax_: from each
// place of the literal only the places up to literalMax_ before it are tried, each once.
bool TREParser::ForwardByLiteral(TEdStream& stream, TREMatcher& matcher)
{
    LiteralWindows literal(stream, scanner_, window_);
    std::int64_t pos = stream.GetPos();  // the places before it are done
    for (;;) {
        const std::int64_t hit = literal.First(pos + literalMin_);
        if (hit < 0) return false;
        const std::int64_t last = hit - literalMin_;
        std::int64_t s = std::max(pos, hit - literalMax_);
        for (; s <= last; ++s) {
            if (!MayStartAt(literal.CharAt(s))) continue;  // (read in the window, the stream stays)
            MoveStreamTo(stream, s);
            if (stream.AtEnd()) return false;
            if (!MayStartAt(static_cast<unsigned char>(stream.CurrentChar()))) continue;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return true;
            stream.Restore(at);
            s = std::max(s, matcher.FailedThrough(s) - 1);
        }
        pos = std::max(s, last + 1);
    }
}

bool TREParser::BackwardByLiteral(TEdStream& stream, TREMatcher& matcher)
{
    LiteralWindows literal(stream, scanner_, window_);
    std::int64_t pos = stream.GetPos();  // the places after it are done
    while (pos >= 0) {
        const std::int64_t hit = literal.Last(pos + literalMax_);
        if (hit < 0) return false;
        const std::int64_t bottom = std::max<std::int64_t>(0, hit - literalMax_);
        for (std::int64_t s = std::min(pos, hit - literalMin_); s >= bottom; --s) {
            if (!MayStartAt(literal.CharAt(s))) continue;
            MoveStreamTo(stream, s);
            if (!MayStartAt(static_cast<unsigned char>(stream.CurrentChar()))) continue;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return true;
            stream.Restore(at);
        }
        pos = bottom - 1;
    }
    return false;
}

}  // namespace tarnwick
