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
// A matcher that backtracks can take exponential time on patterns such as (x+x+)+y. Each try at
// one start position therefore has a budget of steps and of nesting, and the search as a whole a
// budget in proportion to the text; exceeding one ends the search with the error "Expression too
// complex". A repetition remembers the range over which the rest of the program failed, so that
// a pattern like .*y does not take quadratic time on a long line.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "editor/byte_set.h"
#include "editor/ed_stream.h"

namespace tarnwick {

// An error of the engine: the message and the 1-based position in the pattern it refers to
// (0 when it belongs to no position, as for errors raised while searching).
class ERegularExpression : public Exception {
public:
    ERegularExpression(const std::string& message, int position) : Exception(message), position_(position) {}
    int Position() const { return position_; }

private:
    int position_;
};

// Resource numbers and texts of the engine's messages.
enum TREError : int {
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

    // Work allowed to one try at one start position: steps of the matcher and its nesting.
    static constexpr std::int64_t kStepBudget = std::int64_t(1) << 24;
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
    // filled on success. Raises ERegularExpression "Invalid parameter" when nothing is compiled,
    // and the matcher's errors ("Index range error", "Expression too complex").
    bool Search(TEdStream& stream, bool forward);

    // Entry `index` of the position table; 256 or more raises "Index range error".
    std::int64_t Position(int index) const;
    int PositionCount() const { return count_; }
    std::int64_t MatchStart() const { return positions_[0]; }
    std::int64_t MatchEnd() const { return positions_[count_]; }

    // Where the outermost groups stand in the position table: entry i of the result is the entry
    // at which group i + 1 starts (it ends where the next entry starts). Empty when the
    // expression's top level holds alternatives or counted repetitions, whose entries vary from
    // match to match.
    std::vector<int> OutermostGroupEntries() const;

    // The last error: its resource number (reNoError after a successful compile), its text and
    // its 1-based position in the pattern.
    int ErrorId() const { return errorId_; }
    std::string ErrorText() const { return REErrorText(errorId_); }
    int ErrorPosition() const { return errorPosition_; }

    // The compiled program (for tests and tools).
    const std::vector<std::uint8_t>& Program() const { return program_; }
    // The characters that can start a match, or all of them when any position may match.
    const TByteSet& FirstChars() const { return first_; }

private:
    friend class TRECompiler;
    friend class TREMatcher;

    void Compile(std::string_view pattern);
    void Analyse();

    std::string expression_;
    std::vector<std::uint8_t> program_;
    int counters_ = 0;  // counters the program uses
    std::vector<int> repeatNodes_;  // the STAR and PLUS nodes, in program order
    TByteSet first_;
    bool anyFirst_ = true;
    bool firstIsOneChar_ = false;
    unsigned char firstChar_ = 0;
    std::string prefix_;  // a literal that every match starts with, when longer than one character
    int leadRepeat_ = 0;  // the repetition every match starts with, if any

    std::array<std::int64_t, kPositions> positions_{};
    int count_ = 0;

    int errorId_ = reNoError;
    int errorPosition_ = 0;
};

// Rewrites every a||b of a pattern into (((a)(b)?)|((b)(a)?)). A part that already is one whole
// group is not wrapped again. Exposed for tests.
std::string RewriteBothOrders(std::string_view pattern);

}  // namespace tarnwick
