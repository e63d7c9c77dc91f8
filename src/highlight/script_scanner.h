#pragma once
// The scanner of highlighter scripts: a C-like preprocessor (/* */ and // comments, #define
// macros, #ifdef/#ifndef/#else/#endif, #include) that delivers the script's tokens, with the
// script's reserved words and predefined macros. Every error is raised as ESYM_COMP_ERROR
// "** ERROR near line %d, Column %d: %s".
//
// Line and column: each file (the script and every included file) counts its own lines from 1; a
// line ends at CR, LF or CR LF. The text of a macro counts no lines: an error inside an expansion
// is reported at the start of the outermost macro name. The position reported is the start of the token at which
// the error was found (for an error inside the scanner, the character where it arose).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_errors.h"
#include "highlight/word_store.h"

namespace tarnwick {

// Tokens of the script language.
enum ScriptToken : std::int32_t {
    tkEOF = 0,
    tkString,
    tkNumber,
    // section keywords
    tkSecLanguage,
    tkSecWords,
    tkSecHandlers,
    tkSecTokens,
    tkSecMap,
    tkSecEffects,
    tkSecStates,
    tkSecContainers,
    tkSecKeys,
    tkSecAutoReplace,
    tkSecTemplates,
    tkSecKwTables,
    // language keys
    tkName,
    tkCase,
    tkOptions,
    tkExampleText,
    tkEditableStyles,
    tkWordWrapColumn,
    tkFontName,
    tkFontSize,
    tkFontCharset,
    tkGutter,
    tkGutterColor,
    tkMarginColor,
    tkMarginWidth,
    tkAnchor,
    tkStartState,
    tkContextStates,
    tkIndentStep,
    tkWrapOverride,
    tkSelTextColor,
    tkSelTextBack,
    tkRightMargin,
    tkTabColumns,
    tkTabDefault,
    tkBoundStates,
    tkGutterFontName,
    tkGutterFontSize,
    tkGutterFontColor,
    tkGutterFontStyle,
    // other words
    tkInState,
    tkShift,
    tkCtrl,
    tkAlt,
    tkMatch,
    tkActionKeys,
    tkHotKey,
    tkForState,
    tkEndsWith,
    tkIs,
    tkPush,
    tkPop,
    tkOr,
    // signs
    tkEquals,
    tkLParen,
    tkRParen,
    tkLBracket,
    tkRBracket,
    tkComma,
    tkPlus,
    tkMinus,
    tkQuery,
    tkBar,
    tkStar,
};

// Messages of the compiler by number (the message table of the editor family); their texts are
// in script_messages.cpp, SymMessageText.
namespace symmsg {
inline constexpr int kEqualsExpected = 4096;
inline constexpr int kLParenExpected = 4097;
inline constexpr int kRParenExpected = 4098;
inline constexpr int kCommaExpected = 4099;
inline constexpr int kLBracketExpected = 4100;
inline constexpr int kRBracketExpected = 4101;
inline constexpr int kStringExpected = 4102;
inline constexpr int kSyntaxError = 4103;
inline constexpr int kExpressionExpected = 4104;
inline constexpr int kTooManyEditableStyles = 4105;
inline constexpr int kValue0To255 = 4106;
inline constexpr int kDuplicateWord = 4108;
inline constexpr int kSingleCharSpec = 4109;
inline constexpr int kMaxFourSpecs = 4110;
inline constexpr int kDuplicateHandler = 4112;
inline constexpr int kAmbiguousStartSet = 4113;
inline constexpr int kDuplicateEffect = 4114;
inline constexpr int kBadFontStyle = 4115;
inline constexpr int kUnexpectedEof = 4116;
inline constexpr int kUnknownIdentifier = 4117;
inline constexpr int kBlankKeyName = 4118;
inline constexpr int kKeyRequired = 4119;
inline constexpr int kNotImplemented = 4120;
inline constexpr int kRecursiveMacro = 4121;
inline constexpr int kErrorFormat = 4122;
inline constexpr int kIncludeUnterminated = 4123;
inline constexpr int kIncludeOpen = 4124;
inline constexpr int kIncludeForm = 4135;
inline constexpr int kUnknownCharacter = 4127;
inline constexpr int kRangeError = 4130;
inline constexpr int kContextRespecified = 4131;
inline constexpr int kIfdefName = 4134;
inline constexpr int kMacroName = 4136;
}  // namespace symmsg

// The text of compiler message `id` as it stands in the table (with its % fields); empty for a
// number that is not a compiler message.
std::string SymMessageText(int id);

// Reads an included file; returns false when it cannot be read. The default reads regular files
// from disk.
using IncludeReader = std::function<bool(const std::string& path, std::string& text)>;

class TSYM_Compiler {
public:
    // Limits that keep a runaway script from hanging or exhausting memory.
    static constexpr int kMaxIncludeDepth = 32;             // nested #include files
    static constexpr int kMaxMacroDepth = 256;              // macros expanding inside macros
    static constexpr std::size_t kMaxExpansion = 2u << 20;  // characters read from macros and includes

    // `script` is the whole script; `directory` the folder of the script (for #include <name>);
    // `scriptPath` names the script itself (so that it cannot include itself), may be empty.
    TSYM_Compiler(std::string_view script, std::string directory, std::string scriptPath = {},
                  IncludeReader reader = {});

    // Reads the next token; returns it.
    ScriptToken GetToken();
    ScriptToken Token() const { return token_; }
    // The last string: as written (between the quotes, escapes kept) and processed.
    const std::string& RawString() const { return raw_; }
    const std::string& StringValue() const { return value_; }
    // The last number (decimal digits, 0 .. 4294967295).
    std::int64_t Number() const { return number_; }
    // Where the current token starts (line and column from 1).
    int Line() const { return tokenLine_; }
    int Column() const { return tokenColumn_; }

    // Raises ESYM_COMP_ERROR with the position of the current token.
    [[noreturn]] void Error(std::string_view text) const;
    [[noreturn]] void Error(int messageId) const { Error(SymMessageText(messageId)); }

    TWordStore& Macros() { return macros_; }
    const TWordStore& ReservedWords() const { return reserved_; }

    // The processed value of a string's raw text: \0..\7 start an octal number, \b 8, \e 27,
    // \n 13, \r 10, \s 32, \t 9, \x hexadecimal digits; a backslash before any other character
    // gives that character.
    static std::string ProcessString(std::string_view raw);
    // The spelling of a token, for messages.
    static std::string TokenName(ScriptToken token);

private:
    struct Source {
        std::string name;  // the macro's name, or the file's path
        std::string text;
        std::size_t pos = 0;
        bool file = false;  // the script or an included file: counts lines
        int line = 1;       // files: the position reached
        int column = 1;     // macros: where the macro was used
    };

    // Flags bits.
    static constexpr std::uint8_t kReadingDirective = 1;
    static constexpr std::uint8_t kSkipping = 2;

    int Cur() const;
    int At(std::size_t ahead) const;
    void Advance();
    void MarkToken();
    [[noreturn]] void ScanError(std::string_view text);
    void PopSource();
    const Source& FileSource() const;
    void Charge(std::size_t characters);

    bool Directive();
    void SkipDirectiveBlanks();
    std::string ReadIdentifier();
    void DoDefine();
    void DoIfdef(bool ifdef);
    void DoInclude();
    void Expand(const std::string& name, const std::string& value);
    void ReadString();
    void SkipLine();

    std::vector<Source> sources_;
    std::vector<std::uint8_t> conditions_;  // saved skip flags of the open conditionals
    std::uint8_t flags_ = 0;
    std::string directory_;
    IncludeReader reader_;
    TWordStore macros_;
    TWordStore reserved_;
    std::size_t expanded_ = 0;
    int macroDepth_ = 0;
    int includeDepth_ = 0;

    ScriptToken token_ = tkEOF;
    std::string raw_, value_, identifier_;
    std::int64_t number_ = 0;
    int tokenLine_ = 1, tokenColumn_ = 1;
};

}  // namespace tarnwick
