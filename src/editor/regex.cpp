#include "editor/regex.h"

#include <algorithm>
#include <cstring>

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
        Reg(false, &flags);
        return size_;
    }
    int Counters() const { return counters_; }

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
    int Reg(bool paren, int* flags)
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
        const int first = Branch(&branchFlags);
        if (ret) Tail(ret, first);
        else ret = first;
        if (!(branchFlags & kHasWidth)) *flags &= ~kHasWidth;
        while (Peek() == '|') {
            ++pos_;
            const int br = Branch(&branchFlags);
            Tail(ret, br);
            if (!(branchFlags & kHasWidth)) *flags &= ~kHasWidth;
        }
        const int ender = Node(paren ? static_cast<std::uint8_t>(TREParser::opCLOSE + depth) : std::uint8_t{TREParser::opEND});
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
    int Branch(int* flags)
    {
        *flags = 0;
        const int ret = Node(TREParser::opBRANCH);
        int chain = 0;
        while (!AtEnd() && Peek() != '|' && Peek() != ')') {
            int pieceFlags = 0;
            const int latest = Piece(&pieceFlags);
            *flags |= pieceFlags & kHasWidth;
            if (chain) Tail(chain, latest);
            chain = latest;
        }
        if (chain == 0) Node(TREParser::opNOTHING);
        return ret;
    }

    // An atom and the repetition that may follow it.
    int Piece(int* flags)
    {
        int atomFlags = 0;
        const int ret = Atom(&atomFlags);
        const char op = Peek();
        if (op != '*' && op != '+' && op != '?' && op != '{') {
            *flags = atomFlags;
            return ret;
        }
        const int opColumn = Column();
        if (!(atomFlags & kHasWidth) && op != '?') Fail(reInvalidRepeat, opColumn);
        *flags = op == '+' ? kHasWidth : 0;

        if (op == '{') {
            ++pos_;
            const auto [low, high] = Range(opColumn);
            if (low > 0) *flags = kHasWidth;
            Counted(ret, low, high);
        } else {
            ++pos_;
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
        const std::uint8_t setB[] = {b, static_cast<std::uint8_t>(optional >> 8), static_cast<std::uint8_t>(optional & 0xFF)};

        // Build the head in front of the atom, last node first.
        constexpr std::size_t kCounterNode = kNodeSize + 1, kSetNode = kNodeSize + 3;
        Insert(TREParser::opDECREMENT, atom, kCounterNode, decB);                // D2
        Insert(TREParser::opTEST, atom, kCounterNode, decB);                     // T
        Insert(TREParser::opDECREMENT, atom, kCounterNode, decA);                // D1
        Insert(TREParser::opWHILEPOSITIVE, atom, kCounterNode, decA);            // W
        Insert(TREParser::opBRANCH, atom, kNodeSize);                            // L
        Insert(TREParser::opSETCOUNTER, atom, kSetNode, setB);                   // S2
        Insert(TREParser::opSETCOUNTER, atom, kSetNode, setA);                   // S1
        const int s1 = atom, s2 = s1 + static_cast<int>(kSetNode), l = s2 + static_cast<int>(kSetNode), w = l + kNodeSize;
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

    int Atom(int* flags)
    {
        *flags = 0;
        const int column = Column();
        const char c = Peek();
        ++pos_;
        switch (c) {
        case '^': return Node(TREParser::opBOL);
        case '$': return Node(TREParser::opEOL);
        case '.':
            *flags |= kHasWidth | kSimple;
            return Node(TREParser::opANY);
        case '[': {
            *flags |= kHasWidth | kSimple;
            return Class(column);
        }
        case '(': {
            int groupFlags = 0;
            const int ret = Reg(true, &groupFlags);
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
            return Literal(std::string(1, Escape(false)));
        }
        default: *flags |= kHasWidth | kSimple; return Literal(std::string(1, c));
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
};

TREParser::TREParser() { positions_.fill(-1); }

bool TREParser::SetExpression(std::string_view pattern)
{
    if (!expression_.empty() && pattern == expression_) return true;
    try {
        Compile(pattern);
        expression_ = std::string(pattern);
        errorId_ = reNoError;
        errorPosition_ = 0;
        return true;
    } catch (const ERegularExpression& e) {
        expression_.clear();
        program_.clear();
        errorPosition_ = e.Position();
        errorId_ = reInternalError;
        for (int id = reInvalidParameter; id <= reTooComplex; ++id)
            if (e.what() == std::string_view(REErrorText(id))) {
                errorId_ = id;
                break;
            }
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
    Analyse();
}

std::int64_t TREParser::Position(int index) const
{
    if (index < 0 || index >= kPositions) throw ERegularExpression(REErrorText(reIndexRange), 0);
    return positions_[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------- matcher

namespace {
constexpr int kRecordLimit = 254;
constexpr std::int32_t kUnbounded = 0xFFFF;
}  // namespace

class TREMatcher {
public:
    TREMatcher(TREParser& re, TEdStream& stream) : re_(re), prog_(re.program_.data()), s_(stream)
    {
        trail_.reserve(64);
    }

    // Tries to match at the stream's position.
    bool Try()
    {
        re_.count_ = 0;
        groupStart_ = 0;
        trail_.clear();
        steps_ = 0;
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

    // Clears the entries the tries wrote beyond those of the match found.
    void Finish(bool found)
    {
        const int keep = found ? std::min(re_.count_ + 3, TREParser::kPositions) : 0;
        for (int i = keep; i <= highWater_ && i < TREParser::kPositions; ++i) re_.positions_[static_cast<std::size_t>(i)] = -1;
        if (!found) re_.count_ = 0;
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
            counters_[trail_.back().first] = trail_.back().second;
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
        if (steps_ > TREParser::kStepBudget || total_ > totalBudget_)
            throw ERegularExpression(REErrorText(reTooComplex), 0);
    }
    void SetCounter(int k, std::int32_t value)
    {
        trail_.emplace_back(static_cast<std::uint8_t>(k), counters_[static_cast<std::size_t>(k)]);
        counters_[static_cast<std::size_t>(k)] = value;
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
                while (n >= min) {
                    if (hint < 0 || (!s_.AtEnd() && Cur() == hint)) {
                        const Saved saved = Save();
                        if (Match(next)) return true;
                        Restore(saved);
                    }
                    if (--n < min) break;
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
                    if (op == TREParser::opOPEN + 1) groupStart_ = re_.count_ - 1;
                } else if (op > TREParser::opCLOSE && op <= TREParser::opCLOSE + 9) {
                    if (op == TREParser::opCLOSE + 1) re_.count_ = groupStart_ + 1;
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
    std::vector<std::pair<std::uint8_t, std::int32_t>> trail_;
    std::int64_t steps_ = 0;
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

std::vector<int> TREParser::OutermostGroupEntries() const
{
    std::vector<int> groups;
    const std::size_t size = program_.size();
    if (size <= 4 || program_[1] != opBRANCH) return groups;
    const auto nextOf = [&](std::size_t q) -> std::size_t {
        const int offset = program_[q + 1] << 8 | program_[q + 2];
        return offset == 0 ? 0 : q + static_cast<std::size_t>(offset);
    };
    if (const std::size_t other = nextOf(1); other != 0 && other < size && program_[other] == opBRANCH) return groups;
    const auto operandSize = [&](std::size_t q) -> std::size_t {
        switch (program_[q]) {
        case opANYOF:
        case opANYBUT: return 256;
        case opEXACTLY: {
            std::size_t n = 0;
            while (q + 3 + n < size && program_[q + 3 + n] != 0) ++n;
            return n + 1;
        }
        case opSETCOUNTER: return 3;
        case opDECREMENT:
        case opTEST:
        case opWHILEPOSITIVE:
        case opWHILEBELOWONE: return 1;
        default: return 0;
        }
    };
    // Along the top-level chain every node that records takes one entry, and a whole outermost
    // group takes one.
    int entry = 0;
    for (std::size_t p = 4; p != 0 && p + 3 <= size;) {
        const std::uint8_t op = program_[p];
        if (op == opEND) return groups;
        if (op == opOPEN + 1) {
            groups.push_back(entry++);
            std::size_t q = p;
            while (q + 3 <= size && program_[q] != opCLOSE + 1) q += 3 + operandSize(q);
            if (q + 3 > size) return {};
            p = nextOf(q);
            continue;
        }
        switch (op) {
        case opBOL:
        case opEOL:
        case opANY:
        case opANYOF:
        case opANYBUT:
        case opEXACTLY:
        case opSTAR:
        case opPLUS: ++entry; break;
        case opNOTHING:
        case opBACK: break;
        default: return {};  // alternatives or counters at the top level
        }
        p = nextOf(p);
    }
    return groups;
}

void TREParser::Analyse()
{
    // Nodes lie one after another: walk them to find the repetitions.
    repeatNodes_.clear();
    for (std::size_t p = 1; p + 3 <= program_.size();) {
        const std::uint8_t op = program_[p];
        if (op == opSTAR || op == opPLUS) repeatNodes_.push_back(static_cast<int>(p));
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

    // The literal every match starts with: the characters of the EXACTLY nodes that open the
    // program's only alternative (line breaks excluded, since they end records).
    prefix_.clear();
    leadRepeat_ = 0;
    if (program_.size() > 4 && program_[1] == opBRANCH && program_[4] != opBRANCH) {
        const int next = program_[2] << 8 | program_[3];
        if (next != 0 && program_[1 + static_cast<std::size_t>(next)] != opBRANCH) {
            if (program_[4] == opSTAR || program_[4] == opPLUS) leadRepeat_ = 4;
            for (std::size_t p = 4; p + 3 < program_.size() && program_[p] == opEXACTLY;) {
                std::size_t q = p + 3;
                while (q < program_.size() && program_[q] != 0 && program_[q] != '\r') prefix_ += static_cast<char>(program_[q++]);
                if (q >= program_.size() || program_[q] != 0) break;
                const int offset = program_[p + 1] << 8 | program_[p + 2];
                if (offset == 0) break;
                p += static_cast<std::size_t>(offset);
            }
        }
    }
    FirstCharWalk walk{program_, {}};
    anyFirst_ = walk.Walk(1, 0);
    first_ = walk.set;
    if (anyFirst_) first_.IncludeRange(0, 255);
    firstIsOneChar_ = !anyFirst_ && first_.Count() == 1;
    if (firstIsOneChar_)
        for (int c = 0; c < 256; ++c)
            if (first_.Contains(static_cast<unsigned>(c))) firstChar_ = static_cast<unsigned char>(c);
}

// ---------------------------------------------------------------- search

namespace {

// Moves the stream to the next place at or after its position (forwards) or at or before it
// (backwards) whose character is in `set`; false when there is none. Reads the records directly.
bool SkipToCandidate(TEdStream& stream, const TByteSet& set, bool oneChar, unsigned char only, bool forward,
                     std::string_view prefix)
{
    const TTextStore* store = stream.Store();
    TEdStream::Place at = stream.Save();
    if (!store || !at.record) return false;
    if (forward) {
        while (at.record) {
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            std::int64_t i = at.inRecord;
            if (prefix.size() > 1) {
                // Every match starts with the literal: look for all of it. Near the end of a
                // record that a continuation follows, a match may run on into the next record.
                const void* hit = i < length ? memmem(text + i, static_cast<std::size_t>(length - i), prefix.data(), prefix.size()) : nullptr;
                std::int64_t found = hit ? static_cast<const char*>(hit) - text : length;
                if (!at.record->EndsWithBreak())
                    for (std::int64_t j = std::max(i, length - static_cast<std::int64_t>(prefix.size()) + 1); j < found; ++j)
                        if (text[j] == prefix[0]) {
                            found = j;
                            break;
                        }
                i = found;
            } else if (oneChar) {
                const void* hit = i < length ? std::memchr(text + i, only, static_cast<std::size_t>(length - i)) : nullptr;
                i = hit ? static_cast<const char*>(hit) - text : length;
            } else {
                while (i < length && !set.Contains(static_cast<unsigned char>(text[i]))) ++i;
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
            while (i >= 0 && !set.Contains(static_cast<unsigned char>(text[i]))) --i;
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

}  // namespace

bool TREParser::Search(TEdStream& stream, bool forward)
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

    if (forward) {
        while (!stream.AtEnd()) {
            if (!anyFirst_ && !SkipToCandidate(stream, first_, firstIsOneChar_, firstChar_, true, prefix_)) return false;
            const TEdStream::Place at = stream.Save();
            if (matcher.Try()) return found = true;
            stream.Restore(at);
            const std::int64_t resume = matcher.FailedThrough(at.position);
            do {
                stream.NextChar();
            } while (stream.GetPos() < resume && !stream.AtEnd());
        }
        return false;
    }
    if (stream.Size() == 0) return false;
    if (stream.AtEnd()) stream.PrevChar();
    for (;;) {
        if (!anyFirst_ && !SkipToCandidate(stream, first_, firstIsOneChar_, firstChar_, false, {})) return false;
        const TEdStream::Place at = stream.Save();
        if (matcher.Try()) return found = true;
        stream.Restore(at);
        if (stream.GetPos() == 0) return false;
        stream.PrevChar();
    }
}

}  // namespace tarnwick
