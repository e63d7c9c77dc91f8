// The pattern compiler: the pattern (a||b rewritten first) is compiled twice, once to size the
// program and once to emit it, working out on the way the literal every match holds. Then the
// program is walked for the characters a match can start with, its repetitions and its outermost
// groups.

#include <algorithm>
#include <tuple>

#include "editor/regex.h"
#include "editor/regex_internal.h"

namespace tarnwick {

namespace {

using regex_detail::Fail;
using regex_detail::kNoBound;

constexpr int kHasWidth = 1;  // never matches the empty string
constexpr int kSimple = 2;    // one character exactly: can be the operand of STAR and PLUS

constexpr int kNodeSize = 3;
constexpr int kClassSize = 256;
// Program offsets are 16-bit.
constexpr std::size_t kMaxProgram = 0xFFFF;

// What the compiler knows of a part of the pattern, for the literal the search looks for: how
// long its matches are, the one text it matches when there is only one, and the best literal
// that each of its matches holds, with the distances from the part's start at which it begins
// (kNoBound: no bound).
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

class RegexCompiler {
public:
    RegexCompiler(std::string_view source, std::vector<std::uint8_t>* program)
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
    } catch (const RegexError& e) {
        expression_.clear();
        program_.clear();
        literal_.clear();
        groupOpens_.clear();
        groupCloses_.clear();
        errorPosition_ = e.Position();
        errorId_ = regex_detail::ErrorIdOf(e);
        return false;
    }
}

void TREParser::Compile(std::string_view pattern)
{
    program_.clear();
    if (pattern.empty()) Fail(reInvalidParameter, 1);
    const std::string source = RewriteBothOrders(pattern);
    RegexCompiler sizing(source, nullptr);
    const std::size_t size = sizing.Run();
    std::vector<std::uint8_t> program(size + 256, 0);
    RegexCompiler emit(source, &program);
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

namespace {

struct FirstCharWalk {
    const std::vector<std::uint8_t>& prog;
    ByteSet set;
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
    if (groupOpens_.size() != groupCloses_.size()) throw RegexError(REErrorText(reInternalError), 0);
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

}  // namespace tarnwick
