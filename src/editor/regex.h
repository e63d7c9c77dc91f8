#pragma once
// The regular-expression engine of find and replace: a pattern is compiled into a byte program
// and run by a backtracking matcher over the stored text (every line break one CR), forwards or
// backwards from a stream's position.
//
// Pattern syntax, in short: a|b alternatives; a||b both parts in either order, the second
// optional; ( ) groups numbered by nesting depth (at most 9 deep); * + ? {n} {n,} {,m} {n,m}
// after an atom; . any character but a line break; ^ a line break (consumed); $ a line break
// ahead; [set] [^set] with ranges; "text" a quoted literal; \d \s \w \D \S \W classes; escapes
// \b \f \n (CR) \r (LF) \t \xHH \ooo; any other character stands for itself. Matching is
// case-sensitive.
//
// Program layout: byte 0 is a magic byte; each node is an opcode byte, a 16-bit big-endian offset
// to the next node (0 = none; BACK nodes count backwards) and an operand.
//
// The match of a successful search is described by a table of positions: the nodes that consume
// text record where they started, positions recorded inside an outermost group collapse into one
// entry, and the end of the match follows the last entry: the match is [Position(0),
// Position(PositionCount())).
//
// Outermost groups are also kept on their own: \N of a replacement is the text of the N-th
// outermost group as written, whatever alternatives or repetitions surround it.
//
// A matcher that backtracks can take exponential time on patterns such as (x|xx)+y. Each try at
// one start position therefore has a budget of steps (a fixed amount, and a share per character
// of the text the try reads, so that a try whose work grows with the text it reads is never
// refused) and of nesting, and the search as a whole a budget in proportion to the text;
// exceeding one ends the search with the error "Expression too complex". A repetition remembers
// the range over which the rest of the program failed, so that a pattern like .*y does not take
// quadratic time on a long line.
//
// Before the matcher runs, the search looks for a literal that every match holds (worked out
// from the pattern with the distances at which it may stand from the match's start) and tries
// only the places from which a match could reach it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "editor/byte_set.h"
#include "editor/char_streams.h"
#include "editor/plain_search.h"

namespace tarnwick {

// An error of the engine: the message and the 1-based position in the pattern it refers to
// (0 when it belongs to no position, as for errors raised while searching).
class RegexError : public Exception {
public:
    RegexError(const std::string& message, int position) : Exception(message), position_(position) {}
    int Position() const { return position_; }

private:
    int position_;
};

// Resource numbers and texts of the engine's messages.
enum RegexErrorCode : int {
    reNoError = 4246,
    reInvalidParameter = 4233,
    reTooManySubExpressions = 4234,
    reUnmatchedParenthesis = 4235,
    reInvalidRepeat = 4236,
    reNestedRepeat = 4237,
    reInvalidRange = 4238,
    reUnmatchedBracket = 4239,
    reHexDigitExpected = 4240,
    reUnexpectedEnd = 4241,
    reQuoteExpected = 4242,
    reIndexRange = 4243,
    reInternalError = 4244,
    reExpressionNotFound = 4245,
    reOutOfMemory = 4247,
    reTooComplex = 4248,
};
const char* REErrorText(int id);

class RegexMatcher;

class TREParser {
public:
    // Opcodes of the program.
    enum Op : std::uint8_t {
        opEND = 0,
        opBOL = 1,
        opEOL = 2,
        opANY = 3,
        opANYOF = 4,
        opANYBUT = 5,
        opBRANCH = 6,
        opBACK = 7,
        opEXACTLY = 8,
        opNOTHING = 9,
        opSTAR = 10,
        opPLUS = 11,
        opOPEN = 20,   // + depth 1..9
        opCLOSE = 40,  // + depth 1..9
        opSETCOUNTER = 150,
        opDECREMENT = 152,
        opTEST = 153,
        opWHILEPOSITIVE = 154,
        opWHILEBELOWONE = 155,
    };
    static constexpr std::uint8_t kMagic = 0x9C;
    static constexpr int kPositions = 256;
    static constexpr int kCounters = 256;
    // Largest count of a counted repetition.
    static constexpr int kMaxCount = 65534;

    // Work allowed to one try at one start position: steps of the matcher (a fixed amount and a
    // share per character between the start and the farthest place the try read) and its nesting.
    static constexpr std::int64_t kStepBudget = std::int64_t(1) << 24;
    static constexpr std::int64_t kStepsPerCharRead = 16;
    static constexpr int kDepthBudget = 6000;
    // Work allowed to one search in all: a fixed amount and a share per character of the text.
    static constexpr std::int64_t kSearchBudget = std::int64_t(1) << 28;
    static constexpr std::int64_t kSearchBudgetPerChar = 64;

    TREParser();

    // Compiles `pattern` (nothing to do when it is the one compiled). On an error the expression
    // is cleared, the error and its position are kept, and the result is false.
    bool SetExpression(std::string_view pattern);
    const std::string& Expression() const { return expression_; }

    // Searches from the stream's position, forwards or backwards, and leaves the position table
    // and the groups filled on success. Raises RegexError "Invalid parameter" when
    // nothing is compiled, and the matcher's errors ("Index range error", "Expression too
    // complex"); the error raised becomes the last error (ErrorId, ErrorPosition) as well.
    bool Search(TEdStream& stream, bool forward);
    // The same without the literal and first-character shortcuts: every place is tried in turn.
    // Slow; a reference for tests and fuzzing.
    bool SearchEveryPlace(TEdStream& stream, bool forward);

    // Entry `index` of the position table; 256 or more raises "Index range error".
    std::int64_t Position(int index) const;
    int PositionCount() const { return count_; }
    std::int64_t MatchStart() const { return positions_[0]; }
    std::int64_t MatchEnd() const { return positions_[count_]; }

    // The outermost groups of the expression, numbered from 1 in the order they are written:
    // where group `n` began and ended in the last match, {-1, -1} when it took no part in it or
    // there is no such group. A repeated group keeps its last repetition.
    int GroupCount() const { return static_cast<int>(groupOpens_.size()); }
    std::pair<std::int64_t, std::int64_t> Group(int n) const;

    // The literal every match holds and how far from the match's start it may begin (the
    // largest distance is -1 when there is no bound); empty when none is known. The search
    // uses it when the distance is bounded.
    const std::string& RequiredLiteral() const { return literal_; }
    std::int64_t LiteralMinOffset() const { return literalMin_; }
    std::int64_t LiteralMaxOffset() const { return literalMax_; }

    // The last error: its resource number (reNoError after a successful compile), its text and
    // its 1-based position in the pattern (0 for the errors of a search, which belong to no
    // position).
    int ErrorId() const { return errorId_; }
    std::string ErrorText() const { return REErrorText(errorId_); }
    int ErrorPosition() const { return errorPosition_; }

    // The compiled program (for tests and tools).
    const std::vector<std::uint8_t>& Program() const { return program_; }
    // The characters that can start a match, or all of them when any position may match.
    const ByteSet& FirstChars() const { return first_; }

private:
    friend class RegexCompiler;
    friend class RegexMatcher;

    void Compile(std::string_view pattern);
    void Analyse();
    bool Run(TEdStream& stream, bool forward, bool shortcuts);
    bool ForwardByLiteral(TEdStream& stream, RegexMatcher& matcher);
    bool BackwardByLiteral(TEdStream& stream, RegexMatcher& matcher);
    // Whether a match may start with character `c` (-1: not known, so it may).
    bool MayStartAt(int c) const { return anyFirst_ || c < 0 || firstTable_[static_cast<std::size_t>(c)]; }

    std::string expression_;
    std::vector<std::uint8_t> program_;
    int counters_ = 0;              // counters the program uses
    std::vector<int> repeatNodes_;  // the STAR and PLUS nodes, in program order
    ByteSet first_;
    std::array<bool, 256> firstTable_{};  // the same, one entry per character
    bool anyFirst_ = true;
    bool firstIsOneChar_ = false;
    unsigned char firstChar_ = 0;
    int leadRepeat_ = 0;                         // the repetition every match starts with, if any
    std::vector<int> groupOpens_, groupCloses_;  // OPEN 1 and CLOSE 1 nodes, in program order
    std::vector<std::int64_t> groups_;           // start and end of each outermost group
    // The literal every match holds, from literalMin_ to literalMax_ after its start.
    std::string literal_;
    std::int64_t literalMin_ = 0;
    std::int64_t literalMax_ = 0;
    LiteralScanner scanner_;
    std::vector<char> window_;  // the text the search reads to find the literal

    std::array<std::int64_t, kPositions> positions_{};
    int count_ = 0;

    int errorId_ = reNoError;
    int errorPosition_ = 0;
};

// Rewrites every a||b of a pattern into (((a)(b)?)|((b)(a)?)). A part that already is one whole
// group is not wrapped again. Exposed for tests.
std::string RewriteBothOrders(std::string_view pattern);

}  // namespace tarnwick
