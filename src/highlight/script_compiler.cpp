#include "highlight/script_compiler.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "base/errors.h"
#include "base/file_io.h"
#include "editor/char_group.h"
#include "editor/key_bindings.h"
#include "editor/settings.h"
#include "highlight/parser.h"

namespace tarnwick {

namespace {

// Messages that have no number of their own.
constexpr const char* kIncludeTooDeep = "#include files nested too deeply (more than 32 levels)";
constexpr const char* kIncludeRecursive = "Recursive #include of file ";
constexpr const char* kMacroTooDeep = "Macro expansions nested too deeply (more than 256 levels)";
constexpr const char* kExpansionTooLarge = "Script too large after macro and #include expansion";
constexpr const char* kElseWithoutIf = "#else without #ifdef or #ifndef";
constexpr const char* kEndifWithoutIf = "#endif without #ifdef or #ifndef";
constexpr const char* kExpressionTooDeep = "Expression nested too deeply";

struct TReservedWord {
    const char* word;
    TSymToken token;
};

constexpr TReservedWord kReservedWords[] = {
    {"%%language", tkSecLanguage},
    {"%%words", tkSecWords},
    {"%%handler", tkSecHandlers},
    {"%%handlers", tkSecHandlers},
    {"%%tokens", tkSecTokens},
    {"%%map", tkSecMap},
    {"%%effects", tkSecEffects},
    {"%%states", tkSecStates},
    {"%%containers", tkSecContainers},
    {"%%keys", tkSecKeys},
    {"%%autoreplace", tkSecAutoReplace},
    {"%%templates", tkSecTemplates},
    {"%%kwTables", tkSecKwTables},
    {"name", tkName},
    {"case", tkCase},
    {"options", tkOptions},
    {"exampletext", tkExampleText},
    {"editablestyles", tkEditableStyles},
    {"wordwrapcolumn", tkWordWrapColumn},
    {"fontname", tkFontName},
    {"fontsize", tkFontSize},
    {"fontcharset", tkFontCharset},
    {"gutter", tkGutter},
    {"guttercolor", tkGutterColor},
    {"margincolor", tkMarginColor},
    {"marginwidth", tkMarginWidth},
    {"anchor", tkAnchor},
    {"startstate", tkStartState},
    {"contextstates", tkContextStates},
    {"indentstep", tkIndentStep},
    {"wrapoverride", tkWrapOverride},
    {"seltextcolor", tkSelTextColor},
    {"seltextback", tkSelTextBack},
    {"rightmargin", tkRightMargin},
    {"tabcolumns", tkTabColumns},
    {"tabdefault", tkTabDefault},
    {"boundstates", tkBoundStates},
    {"GutterFontName", tkGutterFontName},
    {"GutterFontSize", tkGutterFontSize},
    {"GutterFontColor", tkGutterFontColor},
    {"GutterFontStyle", tkGutterFontStyle},
    {"InState", tkInState},
    {"shift", tkShift},
    {"ctrl", tkCtrl},
    {"alt", tkAlt},
    {"match", tkMatch},
    {"actionkeys", tkActionKeys},
    {"hotkey", tkHotKey},
    {"forstate", tkForState},
    {"endswith", tkEndsWith},
    {"is", tkIs},
    {"push", tkPush},
    {"pop", tkPop},
    {"or", tkOr},
    {"=", tkEquals},
    {"(", tkLParen},
    {")", tkRParen},
    {"[", tkLBracket},
    {"]", tkRBracket},
    {",", tkComma},
    {"+", tkPlus},
    {"-", tkMinus},
    {"?", tkQuery},
    {"|", tkBar},
    {"*", tkStar},
};

struct TPredefined {
    const char* name;
    const char* value;
};

constexpr TPredefined kPredefinedMacros[] = {
    // general
    {"ver200", "ver200"},
    {"pt_DEFAULT", "0"},
    {"_use_", "1"},
    {"_discard_", "0"},
    {"__insensitive", "0"},
    {"__sensitive", "1"},
    {"_edge", "0"},
    {"_default_gutter", "34"},
    {"_DEFAULT_START_ANCHOR", "0"},
    {"__DEFAULT_OPTIONS", "67099632"},
    // editor option bits
    {"__OPT_LINE_NUMBERS", "1"},
    {"__OPT_SYNTAX_HIGHLIGHT", "16"},
    {"__OPT_PRINT_WRAP", "32"},
    {"__OPT_PRINT_LINENOS", "64"},
    {"__OPT_PRINT_FILENAME", "128"},
    {"__OPT_PRINT_DATE", "256"},
    {"__OPT_PRINT_PAGENOS", "512"},
    {"__OPT_WORDWRAP", "1024"},
    {"__OPT_AUTOINDENT", "2048"},
    {"__OPT_TABCOLUMN", "4096"},
    {"__OPT_WRAP_OVERRIDE", "8192"},
    {"__WORD_SELECT", "16384"},
    {"__OPT_SHOW_RIGHT_MARGIN", "32768"},
    {"__OPT_SHOW_RMARGIN", "32768"},
    {"__OPT_SHOW_GUTTER", "65536"},
    {"__OPT_SHOW_WRAPCOLUMN", "131072"},
    {"__OPT_TITLE_AS_FILENAME", "262144"},
    {"__OPT_PROCESS_DROP_FILES", "524288"},
    {"__OPT_BLOCK_CURSOR", "1048576"},
    {"__OPT_WRAP_GLYPH", "2097152"},
    {"__OPT_COLUMN_TRACK", "4194304"},
    {"__OPT_USE_TAB", "8388608"},
    {"__OPT_SMART_FILL", "16777216"},
    {"__OPT_OLE_DRAG_SOURCE", "33554432"},
    {"__OPT_SHOW_CONTROL_CHARS", "67108864"},
    {"__OPT_CARET_AFTER_EOL", "134217728"},
    // matchers
    {"_PASCAL_CHAR", "0"},
    {"_WEB_CHAR", "1"},
    {"_ORIGINAL_CHAR", "2"},
    {"__STD_IDENTIFIER", "10"},
    {"__STD_NUMBER_OR_FP", "11"},
    {"__STD_PASCALSTRING", "12"},
    {"__STD_C_STRING", "13"},
    {"__STD_C_CHAR", "14"},
    {"__STD_C_NUMBER_OR_FP_SIGNED", "15"},
    {"__STD_NUMBER", "16"},
    {"__STD_MAIL_URL", "17"},
    {"__STD_HTML_STRING", "18"},
    {"__STD_JS_LINE_COMMENT", "19"},
    {"__STD_C_STRING_SQ", "20"},
    // font styles
    {"fsBold", "0"},
    {"fsItalic", "1"},
    {"fsUnderline", "2"},
    {"fsStrikeout", "3"},
    // colours
    {"clBlack", "0"},
    {"clMaroon", "128"},
    {"clGreen", "32768"},
    {"clOlive", "32896"},
    {"clNavy", "8388608"},
    {"clPurple", "8388736"},
    {"clTeal", "8421376"},
    {"clGray", "8421504"},
    {"clDkGray", "8421504"},
    {"clSilver", "12632256"},
    {"clLtGray", "12632256"},
    {"clRed", "255"},
    {"clLime", "65280"},
    {"clYellow", "65535"},
    {"clBlue", "16711680"},
    {"clFuchsia", "16711935"},
    {"clAqua", "16776960"},
    {"clWhite", "16777215"},
    // editor commands
    {"caLEFT", "0"},
    {"caRIGHT", "1"},
    {"caLINEHOME", "2"},
    {"caLINEEND", "3"},
    {"caUP", "4"},
    {"caDOWN", "5"},
    {"caPAGEUP", "6"},
    {"caPAGEDOWN", "7"},
    {"caWORDLEFT", "8"},
    {"caWORDRIGHT", "9"},
    {"caDOCSTART", "10"},
    {"caDOCEND", "11"},
    {"caCUT", "12"},
    {"caCOPY", "13"},
    {"caPASTE", "14"},
    {"caDELETE", "15"},
    {"caBACKSPACE", "16"},
    {"caBLOCKIND", "17"},
    {"caBLOCKUND", "18"},
    {"caINSTOGGLE", "19"},
    {"caDELETELINE", "40"},
    {"caUNDO", "41"},
    {"caREDO", "42"},
    {"caDELPREVWORD", "43"},
    {"caPRINTSEL", "44"},
    {"caDELNEXTWORD", "45"},
    // keys
    {"BACKSPACE", "8"},
    {"PGUP", "33"},
    {"PGDN", "34"},
    {"END", "35"},
    {"HOME", "36"},
    {"LEFT", "37"},
    {"UP", "38"},
    {"RIGHT", "39"},
    {"DOWN", "40"},
    {"INSERT", "45"},
    {"DELETE", "46"},
    {"None", "0"},
    // character sets
    {"ANSI_CHARSET", "0"},
    {"DEFAULT_CHARSET", "1"},
    {"SYMBOL_CHARSET", "2"},
    {"MAC_CHARSET", "77"},
    {"SHIFTJIS_CHARSET", "128"},
    {"HANGEUL_CHARSET", "129"},
    {"JOHAB_CHARSET", "130"},
    {"GB2312_CHARSET", "134"},
    {"CHINESEBIG5_CHARSET", "136"},
    {"GREEK_CHARSET", "161"},
    {"TURKISH_CHARSET", "162"},
    {"HEBREW_CHARSET", "177"},
    {"ARABIC_CHARSET", "178"},
    {"BALTIC_CHARSET", "186"},
    {"RUSSIAN_CHARSET", "204"},
    {"THAI_CHARSET", "222"},
    {"EASTEUROPE_CHARSET", "238"},
    {"OEM_CHARSET", "255"},
};

bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsIdentStart(int c) { return IsLetter(c) || c == '_'; }
bool IsIdentChar(int c) { return c >= 0 && TWordStore::IsIdentChar(static_cast<unsigned char>(c)); }
bool IsBlank(int c) { return c == ' ' || c == '\t' || c == 160; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

std::string Lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out) c = TWordStore::Lower(c);
    return out;
}

std::string Format1(const char* format, long long value)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string RangeMessage(long long low, long long high)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "Range error, value outwith %lld .. %lld", low, high);
    return buffer;
}

bool ReadFileFromDisk(const std::string& path, std::string& text)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    try {
        text = ReadWholeFile(path);
    } catch (const Exception&) {
        return false;
    }
    return true;
}

std::string PathKey(const std::string& path)
{
    if (path.empty()) return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec) p = std::filesystem::path(path);
    return p.lexically_normal().generic_string();
}

}  // namespace

std::string SymMessageText(int id)
{
    switch (id) {
    case 4096: return "'=' expected";
    case 4097: return "'(' expected";
    case 4098: return "')' expected";
    case 4099: return "',' expected";
    case 4100: return "'[' expected";
    case 4101: return "']' expected";
    case 4102: return "String value expected";
    case 4103: return "Script syntax error";
    case 4104: return "Expression expected";
    case 4105: return "Too many editable styles";
    case 4106: return "Value must be 0..255";
    case 4108: return "Duplicate entry in %%word table";
    case 4109: return "Single character specifier expected";
    case 4110: return "Maximum of 4 character specifier allowed";
    case 4112: return "Duplicate entry in %%handler table";
    case 4113: return "Ambigious start set in %%token table";
    case 4114: return "Duplicate %%effect entry";
    case 4115: return "Bad font style specifier";
    case 4116: return "Unexpected EOF";
    case 4117: return "Unknown script identifier";
    case 4118: return "Key function name cannot be blank";
    case 4119: return "Key specification required";
    case 4120: return "Not implemented yet";
    case 4121: return "Recursive expansion of macro '%s'";
    case 4122: return "** ERROR near line %d, Column %d: %s";
    case 4123: return "#include filename missing terminating %s";
    case 4124: return "Unable to open #include file %s%s%s";
    case 4127: return "Unknown character in input stream: #$%.2x";
    case 4130: return "Range error, value outwith %d .. %d";
    case 4131: return "Token value %d re-specified in ContextState";
    case 4134: return "Macro name expected after #ifdef";
    case 4135: return "#include expects \"filename\" or <filename>";
    case 4136: return "Macro name expected";
    default: return {};
    }
}

// ============================================================================================
// The scanner

TSYM_Compiler::TSYM_Compiler(std::string_view script, std::string directory, std::string scriptPath,
                             TIncludeReader reader)
    : directory_(std::move(directory)), reader_(reader ? std::move(reader) : TIncludeReader(ReadFileFromDisk))
{
    Source root;
    root.name = PathKey(scriptPath);
    root.text = std::string(script);
    root.file = true;
    sources_.push_back(std::move(root));
    for (const auto& w : kReservedWords) reserved_.AddToken(w.word, w.token);
    for (const auto& m : kPredefinedMacros) macros_.AddValue(m.name, m.value);
    for (int i = 0; i <= 9; ++i) {
        macros_.AddValue("caSETBOOKMARK" + std::to_string(i), std::to_string(20 + i));
        macros_.AddValue("caGOTOBOOKMARK" + std::to_string(i), std::to_string(30 + i));
    }
    for (int i = 1; i <= 12; ++i) macros_.AddValue("F" + std::to_string(i), std::to_string(111 + i));
}

std::string TSYM_Compiler::TokenName(TSymToken token)
{
    switch (token) {
    case tkEOF: return "end of input";
    case tkString: return "string";
    case tkNumber: return "number";
    default: break;
    }
    for (const auto& w : kReservedWords)
        if (w.token == token) return w.word;
    return "?";
}

void TSYM_Compiler::Error(std::string_view text) const
{
    char head[96];
    std::snprintf(head, sizeof head, "** ERROR near line %d, Column %d: ", tokenLine_, tokenColumn_);
    throw ESYM_COMP_ERROR(std::string(head) + std::string(text));
}

int TSYM_Compiler::Cur() const
{
    const Source& s = sources_.back();
    return s.pos < s.text.size() ? static_cast<unsigned char>(s.text[s.pos]) : -1;
}

int TSYM_Compiler::At(std::size_t ahead) const
{
    const Source& s = sources_.back();
    return s.pos + ahead < s.text.size() ? static_cast<unsigned char>(s.text[s.pos + ahead]) : -1;
}

void TSYM_Compiler::Advance()
{
    Source& s = sources_.back();
    if (s.pos >= s.text.size()) return;
    const char c = s.text[s.pos++];
    if (!s.file) return;
    if (c == '\r') {
        ++s.line;
        s.column = 1;
    } else if (c == '\n') {
        // CR LF is one line end; LF alone is one too.
        if (!(s.pos >= 2 && s.text[s.pos - 2] == '\r')) ++s.line;
        s.column = 1;
    } else {
        ++s.column;
    }
}

const TSYM_Compiler::Source& TSYM_Compiler::FileSource() const
{
    for (auto it = sources_.rbegin(); it != sources_.rend(); ++it)
        if (it->file) return *it;
    return sources_.front();
}

void TSYM_Compiler::MarkToken()
{
    // Inside macros: where the outermost of them was used.
    const Source* outer = nullptr;
    for (auto it = sources_.rbegin(); it != sources_.rend() && !it->file; ++it) outer = &*it;
    const Source& at = outer ? *outer : FileSource();
    tokenLine_ = at.line;
    tokenColumn_ = at.column;
}

void TSYM_Compiler::ScanError(std::string_view text)
{
    MarkToken();
    Error(text);
}

void TSYM_Compiler::PopSource()
{
    Source& s = sources_.back();
    if (s.file) --includeDepth_;
    else --macroDepth_;
    sources_.pop_back();
}

void TSYM_Compiler::Charge(std::size_t characters)
{
    expanded_ += characters + 1;
    if (expanded_ > kMaxExpansion) Error(kExpansionTooLarge);
}

void TSYM_Compiler::SkipDirectiveBlanks()
{
    while (IsBlank(Cur())) Advance();
}

std::string TSYM_Compiler::ReadIdentifier()
{
    std::string word;
    while (IsIdentChar(Cur())) {
        word += static_cast<char>(Cur());
        Advance();
    }
    return word;
}

void TSYM_Compiler::SkipLine()
{
    while (Cur() >= 0 && !IsLineEnd(Cur())) Advance();
}

// A '#' followed by letters. Returns false (nothing read) when the word is no directive.
bool TSYM_Compiler::Directive()
{
    Source& s = sources_.back();
    const std::size_t pos = s.pos;
    const int column = s.column;
    Advance();  // '#'
    std::string word;
    while (IsLetter(Cur())) {
        word += TWordStore::Lower(static_cast<char>(Cur()));
        Advance();
    }
    enum { kNone, kDefine, kIfdef, kIfndef, kElse, kEndif, kInclude } kind = kNone;
    if (word == "define") kind = kDefine;
    else if (word == "ifdef") kind = kIfdef;
    else if (word == "ifndef") kind = kIfndef;
    else if (word == "else") kind = kElse;
    else if (word == "endif") kind = kEndif;
    else if (word == "include") kind = kInclude;
    if (kind == kNone) {
        Source& back = sources_.back();  // letters never end a line or a source
        back.pos = pos;
        back.column = column;
        return false;
    }
    flags_ |= kReadingDirective;
    switch (kind) {
    case kDefine: DoDefine(); break;
    case kIfdef: DoIfdef(true); break;
    case kIfndef: DoIfdef(false); break;
    case kElse:
        if (conditions_.empty()) Error(kElseWithoutIf);
        if (!(conditions_.back() & kSkipping)) flags_ ^= kSkipping;
        break;
    case kEndif:
        if (conditions_.empty()) Error(kEndifWithoutIf);
        flags_ = static_cast<std::uint8_t>((flags_ & ~kSkipping) | (conditions_.back() & kSkipping));
        conditions_.pop_back();
        break;
    case kInclude:
        if (!(flags_ & kSkipping)) DoInclude();
        break;
    default: break;
    }
    flags_ &= static_cast<std::uint8_t>(~kReadingDirective);
    return true;
}

void TSYM_Compiler::DoDefine()
{
    if (flags_ & kSkipping) {
        SkipLine();
        return;
    }
    SkipDirectiveBlanks();
    if (!IsIdentStart(Cur())) ScanError(SymMessageText(symmsg::kMacroName));
    const std::string name = ReadIdentifier();
    SkipDirectiveBlanks();
    std::string value;
    while (Cur() >= 0 && !IsLineEnd(Cur())) {
        value += static_cast<char>(Cur());
        Advance();
    }
    while (!value.empty() && IsBlank(static_cast<unsigned char>(value.back()))) value.pop_back();
    if (Lowered(value) == Lowered(name)) return;  // a macro standing for its own name is no macro
    macros_.AddValue(name, value);
}

void TSYM_Compiler::DoIfdef(bool ifdef)
{
    conditions_.push_back(flags_ & kSkipping);
    if (flags_ & kSkipping) return;
    SkipDirectiveBlanks();
    if (!IsIdentStart(Cur())) ScanError(SymMessageText(symmsg::kIfdefName));
    const bool defined = macros_.Contains(ReadIdentifier());
    if (ifdef != defined) flags_ |= kSkipping;
}

void TSYM_Compiler::DoInclude()
{
    SkipDirectiveBlanks();
    const int open = Cur();
    if (open != '"' && open != '<') ScanError(SymMessageText(symmsg::kIncludeForm));
    const char close = open == '"' ? '"' : '>';
    Advance();
    std::string name;
    while (Cur() != close) {
        if (Cur() < 0 || IsLineEnd(Cur())) {
            char buffer[96];
            std::snprintf(buffer, sizeof buffer, "#include filename missing terminating %c", close);
            ScanError(buffer);
        }
        name += static_cast<char>(Cur());
        Advance();
    }
    Advance();  // the closing character

    std::string path = name;
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    if (open == '<' && !directory_.empty()) {
        std::string dir = directory_;
        const char last = dir.back();
        if (last != '/' && last != '\\') dir += static_cast<char>(std::filesystem::path::preferred_separator);
        path = dir + path;
    }
    const auto unable = [&] {
        std::string text = "Unable to open #include file ";
        text += static_cast<char>(open);
        text += name;
        text += close;
        Error(text);
    };
    if (name.empty()) unable();
    const std::string key = PathKey(path);
    for (const Source& s : sources_)
        if (s.file && !s.name.empty() && s.name == key) Error(kIncludeRecursive + name);
    if (includeDepth_ >= kMaxIncludeDepth) Error(kIncludeTooDeep);
    std::string text;
    if (!reader_(path, text)) unable();
    Charge(text.size());
    Source source;
    source.name = key;
    source.text = std::move(text);
    source.file = true;
    sources_.push_back(std::move(source));
    ++includeDepth_;
}

void TSYM_Compiler::Expand(const std::string& name, const std::string& value)
{
    const std::string key = Lowered(name);
    for (const Source& s : sources_)
        if (!s.file && s.name == key) {
            char buffer[320];
            std::snprintf(buffer, sizeof buffer, "Recursive expansion of macro '%s'", name.substr(0, 255).c_str());
            Error(buffer);
        }
    if (macroDepth_ >= kMaxMacroDepth) Error(kMacroTooDeep);
    Charge(value.size());
    Source source;
    source.name = key;
    source.text = value;
    source.line = tokenLine_;
    source.column = tokenColumn_;
    sources_.push_back(std::move(source));
    ++macroDepth_;
}

void TSYM_Compiler::ReadString()
{
    raw_.clear();
    Advance();  // opening quote
    for (;;) {
        const int c = Cur();
        if (c < 0) break;  // a missing closing quote ends the string with its input
        if (c == '\'') {
            Advance();
            break;
        }
        if (c == '\\') {
            const int next = At(1);
            if (IsLineEnd(next)) {
                // Joins the next line: the line end, that line's leading blanks and one leading
                // backslash are dropped.
                Advance();
                if (Cur() == '\r') {
                    Advance();
                    if (Cur() == '\n') Advance();
                } else {
                    Advance();
                }
                while (IsBlank(Cur())) Advance();
                if (Cur() == '\\') Advance();
                continue;
            }
            raw_ += '\\';
            Advance();
            if (next >= 0) {
                raw_ += static_cast<char>(next);
                Advance();
            }
            continue;
        }
        raw_ += static_cast<char>(c);
        Advance();
    }
    value_ = ProcessString(raw_);
}

std::string TSYM_Compiler::ProcessString(std::string_view raw)
{
    std::string out;
    std::size_t i = 0;
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    while (i < raw.size()) {
        const char c = raw[i++];
        if (c != '\\' || i >= raw.size()) {
            out += c;
            continue;
        }
        const char e = raw[i++];
        switch (e) {
        case 'b':
        case 'B': out += '\b'; break;
        case 'e':
        case 'E': out += '\x1b'; break;
        case 'n':
        case 'N': out += '\r'; break;
        case 'r':
        case 'R': out += '\n'; break;
        case 's':
        case 'S': out += ' '; break;
        case 't':
        case 'T': out += '\t'; break;
        case 'x':
        case 'X': {
            unsigned v = 0;
            bool any = false;
            while (i < raw.size() && hex(raw[i]) >= 0) {
                v = ((v << 4) | static_cast<unsigned>(hex(raw[i]))) & 0xFFFFu;
                ++i;
                any = true;
            }
            out += any ? static_cast<char>(v & 0xFF) : e;
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = static_cast<unsigned>(e - '0');
                while (i < raw.size() && raw[i] >= '0' && raw[i] <= '7') {
                    v = ((v << 3) | static_cast<unsigned>(raw[i] - '0')) & 0xFFFFu;
                    ++i;
                }
                out += static_cast<char>(v & 0xFF);
            } else {
                out += e;
            }
        }
    }
    return out;
}

TSymToken TSYM_Compiler::GetToken()
{
    for (;;) {
        const int c = Cur();
        if (c < 0) {
            if (sources_.size() > 1) {
                PopSource();
                continue;
            }
            MarkToken();
            return token_ = tkEOF;
        }
        if (IsBlank(c) || IsLineEnd(c)) {
            Advance();
            continue;
        }
        if (c == '/' && At(1) == '*') {
            Advance();
            Advance();
            while (Cur() >= 0 && !(Cur() == '*' && At(1) == '/')) Advance();
            Advance();
            Advance();
            continue;
        }
        if (c == '/' && At(1) == '/') {
            SkipLine();
            continue;
        }
        MarkToken();
        if (c == '#' && !(flags_ & kReadingDirective) && IsLetter(At(1)) && Directive()) continue;

        if (flags_ & kSkipping) {
            // Inside a false conditional branch: read and discard.
            if (c == '\'') ReadString();
            else if (IsIdentChar(c)) ReadIdentifier();
            else Advance();
            continue;
        }

        if (IsIdentStart(c)) {
            identifier_ = ReadIdentifier();
            if (const TWordStore::Node* macro = macros_.Find(identifier_)) {
                Expand(identifier_, macro->value);
                continue;
            }
            if (const TWordStore::Node* word = reserved_.Find(identifier_))
                return token_ = static_cast<TSymToken>(word->token);
            Error("Identifier \"" + identifier_ + "\" Unknown");
        }
        if (IsDigit(c)) {
            std::int64_t v = 0;
            while (IsDigit(Cur())) {
                v = v * 10 + (Cur() - '0');
                if (v > 0xFFFFFFFFll) Error(RangeMessage(0, 0xFFFFFFFFll));
                Advance();
            }
            number_ = v;
            return token_ = tkNumber;
        }
        if (c == '\'') {
            ReadString();
            return token_ = tkString;
        }
        const Source& s = sources_.back();
        const TWordStore::Node* word = nullptr;
        const std::size_t length = reserved_.LongestMatch(std::string_view(s.text).substr(s.pos), word);
        if (length > 0) {
            for (std::size_t i = 0; i < length; ++i) Advance();
            return token_ = static_cast<TSymToken>(word->token);
        }
        Error(Format1("Unknown character in input stream: #$%.2llx", c));
    }
}

// ============================================================================================
// The section readers

namespace {

class TSectionReader {
public:
    TSectionReader(TSYM_Compiler& scanner, VOzuvavIdavParser& parser)
        : s_(scanner), t_(parser.Tables()), st_(parser.Settings())
    {
        for (int i = 1; i <= TSM_Settings::kEditableStyles && !st_.EditableStyle(i).name.empty(); ++i)
            editableCount_ = i;
    }

    void Run()
    {
        Next();
        while (Tok() != tkEOF) {
            const TSymToken section = Tok();
            switch (section) {
            case tkSecLanguage:
                Next();
                Language();
                break;
            case tkSecWords:
                Next();
                Words();
                break;
            case tkSecHandlers:
                Next();
                Handlers();
                break;
            case tkSecTokens:
                Next();
                Tokens();
                break;
            case tkSecMap:
                Next();
                Map();
                break;
            case tkSecEffects:
                Next();
                Effects();
                break;
            case tkSecStates:
                Next();
                States(false);
                break;
            case tkSecContainers:
                Next();
                States(true);
                break;
            case tkSecKeys:
                Next();
                Keys();
                break;
            case tkSecAutoReplace:
                Next();
                AutoReplace();
                break;
            case tkSecTemplates:
                Next();
                Templates();
                break;
            case tkSecKwTables:
                Next();
                KwTables();
                break;
            default: s_.Error(symmsg::kSyntaxError);
            }
        }
    }

private:
    // ---- token helpers

    TSymToken Tok() const { return s_.Token(); }
    void Next() { s_.GetToken(); }
    bool Accept(TSymToken token)
    {
        if (Tok() != token) return false;
        Next();
        return true;
    }
    void Expect(TSymToken token, int message)
    {
        if (Tok() != token) s_.Error(message);
        Next();
    }
    bool StartsExpr() const { return Tok() == tkNumber || Tok() == tkLParen; }

    // Runs `f`, turning an error of the editor classes into a compiler error at this place.
    template <class F>
    void Guard(F&& f)
    {
        try {
            f();
        } catch (const ESYM_COMP_ERROR&) {
            throw;
        } catch (const Exception& e) {
            s_.Error(e.what());
        }
    }

    // ---- expressions

    std::int64_t Term(int depth)
    {
        if (Tok() == tkNumber) {
            const std::int64_t v = s_.Number();
            Next();
            return v;
        }
        if (Tok() != tkLParen) s_.Error(symmsg::kExpressionExpected);
        if (depth > 200) s_.Error(kExpressionTooDeep);
        Next();
        const std::int64_t v = ExprAt(depth + 1);
        if (Tok() != tkRParen) s_.Error(symmsg::kExpressionExpected);
        Next();
        return v;
    }

    std::int64_t ExprAt(int depth)
    {
        // Wrapping arithmetic: a long chain of sums cannot overflow into undefined behaviour.
        std::uint64_t v = static_cast<std::uint64_t>(Term(depth));
        for (;;) {
            const TSymToken op = Tok();
            if (op != tkPlus && op != tkMinus && op != tkOr) break;
            Next();
            const std::uint64_t r = static_cast<std::uint64_t>(Term(depth));
            v = op == tkPlus ? v + r : op == tkMinus ? v - r : v | r;
        }
        return static_cast<std::int64_t>(v);
    }

    std::int64_t Expr() { return ExprAt(0); }

    std::int64_t Ranged(std::int64_t low, std::int64_t high)
    {
        const std::int64_t v = Expr();
        if (v < low || v > high) s_.Error(RangeMessage(low, high));
        return v;
    }
    std::uint8_t Value() { return static_cast<std::uint8_t>(Ranged(0, 255)); }
    std::int32_t Int32()
    {
        return static_cast<std::int32_t>(
            Ranged(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    }
    // A colour or an option word: any 32-bit pattern.
    std::uint32_t Bits32()
    {
        return static_cast<std::uint32_t>(Ranged(std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFll));
    }

    TStateSet StateList()
    {
        Expect(tkLBracket, symmsg::kLBracketExpected);
        TStateSet set;
        while (Tok() != tkRBracket) {
            if (Accept(tkComma)) continue;
            set.Include(Value());
        }
        Next();
        return set;
    }

    TStateSet ValueOrList()
    {
        if (Tok() == tkLBracket) return StateList();
        TStateSet set;
        set.Include(Value());
        return set;
    }

    // After the signs of %%states and %%containers: a state list, or one state written as a
    // number or a parenthesised expression. "( + 2 - 0 )" adds 2 and removes 0; read as one
    // expression it would add 2 - 0 and remove nothing.
    TStateSet TermOrList()
    {
        if (Tok() == tkLBracket) return StateList();
        const std::int64_t v = Term(0);
        if (v < 0 || v > 255) s_.Error(RangeMessage(0, 255));
        TStateSet set;
        set.Include(static_cast<unsigned>(v));
        return set;
    }

    // ---- strings and character specifications

    std::string StringValue()
    {
        if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
        std::string v = s_.StringValue();
        Next();
        return v;
    }
    std::string RawString()
    {
        if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
        std::string v = s_.RawString();
        Next();
        return v;
    }

    // One character specification of `raw` at the 1-based `position`.
    TSM_CharGroup ParseSpec(const std::string& raw, std::size_t& position)
    {
        TSM_CharGroup group;
        Guard([&] { group.Parse(raw, position); });
        return group;
    }

    // A string holding exactly one character specification.
    TSM_CharGroup CharSpecGroup()
    {
        if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
        const std::string raw = s_.RawString();
        std::size_t position = 1;
        TSM_CharGroup group = ParseSpec(raw, position);
        if (position != raw.size() + 1) s_.Error(symmsg::kSingleCharSpec);
        Next();
        return group;
    }

    std::uint16_t Register(const TSM_CharGroup& group)
    {
        std::uint16_t number = kEmptyGroup;
        Guard([&] { number = t_.RegisterGroup(group); });
        return number;
    }

    std::uint16_t CharSpec() { return Register(CharSpecGroup()); }

    // A string of one to four character specifications: the terminator groups of an end part.
    void EndSpec(TEndPart& end)
    {
        if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
        const std::string raw = s_.RawString();
        std::size_t position = 1;
        end.count = 0;
        do {
            if (end.count == 4) s_.Error(symmsg::kMaxFourSpecs);
            const TSM_CharGroup group = ParseSpec(raw, position);
            end.groups[end.count++] = Register(group);
        } while (position <= raw.size());
        end.hasHandler = 0;
        Next();
    }

    // match ( N ): the OnCustomParse event with ParseID N.
    std::int32_t Match()
    {
        Next();  // match
        Expect(tkLParen, symmsg::kLParenExpected);
        const std::int32_t id = Int32();
        Expect(tkRParen, symmsg::kRParenExpected);
        t_.usesCustomMatches = true;
        return id;
    }

    // [ style {, style} ]: font styles 0..3 (fsBold .. fsStrikeout) as style bits; larger numbers
    // are ignored.
    std::uint8_t StyleList()
    {
        std::uint8_t bits = 0;
        try {
            Expect(tkLBracket, symmsg::kBadFontStyle);
            while (Tok() != tkRBracket) {
                if (Accept(tkComma)) continue;
                if (!StartsExpr()) s_.Error(symmsg::kBadFontStyle);
                const std::int64_t v = Expr();
                if (v >= 0 && v <= 3) bits |= static_cast<std::uint8_t>(1u << v);
            }
            Next();
        } catch (const ESYM_COMP_ERROR&) {
            s_.Error(symmsg::kBadFontStyle);
        }
        return bits;
    }

    // [ [*] ] expr: a colour, marked as the default one by a bracketed star.
    TColor Colour(bool& isDefault)
    {
        isDefault = false;
        if (Accept(tkLBracket)) {
            if (Accept(tkStar)) isDefault = true;
            Expect(tkRBracket, symmsg::kRBracketExpected);
        }
        return Bits32();
    }

    TTokenStateInfo& StateInfo(std::uint8_t value, const TStateSet& valid)
    {
        auto& info = t_.tokenStateInfo[value];
        if (!info) {
            info.emplace();
            info->valid = valid;
            info->Normalize();
        }
        return *info;
    }
    void ExtendStateInfo(std::uint8_t value, const TStateSet& valid)
    {
        auto& info = t_.tokenStateInfo[value];
        if (info) info->valid |= valid;
        else StateInfo(value, valid);
    }

    // ---- %%language

    void Equals() { Expect(tkEquals, symmsg::kEqualsExpected); }

    void Language()
    {
        for (;;) {
            const TSymToken key = Tok();
            switch (key) {
            case tkName:
                Next();
                Equals();
                st_.languageName = StringValue().substr(0, 35);
                break;
            case tkExampleText:
                Next();
                Equals();
                st_.exampleText = StringValue();
                break;
            case tkWrapOverride:
                Next();
                Equals();
                st_.wrapOverride = StringValue().substr(0, 35);
                break;
            case tkFontName:
                Next();
                Equals();
                st_.fontName = StringValue();
                break;
            case tkGutterFontName:
                Next();
                Equals();
                st_.gutterFont.name = StringValue();
                break;
            case tkTabColumns:
                Next();
                Equals();
                TabColumns();
                break;
            case tkCase:
                Next();
                Equals();
                t_.caseSensitive = Expr() != 0;
                break;
            case tkOptions:
                Next();
                Equals();
                st_.options = Bits32();
                break;
            case tkWordWrapColumn:
                Next();
                Equals();
                st_.wordWrapColumn = Int32();
                break;
            case tkGutter:
                Next();
                Equals();
                st_.gutterWidth = Int32();
                break;
            case tkRightMargin:
                Next();
                Equals();
                st_.rightMargin = Int32();
                break;
            case tkMarginWidth:
                Next();
                Equals();
                st_.marginWidth = Int32();
                break;
            case tkFontSize:
                Next();
                Equals();
                st_.fontSize = Int32();
                break;
            case tkTabDefault:
                Next();
                Equals();
                st_.defaultTabWidth = Int32();
                break;
            case tkGutterFontSize:
                Next();
                Equals();
                st_.gutterFont.size = Int32();
                break;
            case tkGutterFontColor:
                Next();
                Equals();
                st_.gutterFont.color = Bits32();
                break;
            case tkIndentStep:
                Next();
                Equals();
                st_.indentStep = static_cast<std::int32_t>(Ranged(0, 20));
                break;
            case tkFontCharset:
                Next();
                Equals();
                st_.fontCharset = Value();
                break;
            case tkSelTextColor:
                Next();
                Equals();
                st_.selectedTextColor = Colour(st_.selectedTextColorDefault);
                break;
            case tkSelTextBack:
                Next();
                Equals();
                st_.selectedTextBackground = Colour(st_.selectedTextBackgroundDefault);
                break;
            case tkGutterColor:
                Next();
                Equals();
                st_.gutterColor = Colour(st_.gutterColorDefault);
                break;
            case tkMarginColor:
                Next();
                Equals();
                st_.marginColor = Colour(st_.marginColorDefault);
                break;
            case tkAnchor: {
                Next();
                Equals();
                TStateSet set = ValueOrList();
                if (set.Empty()) set.Include(0);
                t_.restartAnchors = set;
                break;
            }
            case tkStartState:
                Next();
                Equals();
                if (Tok() == tkLBracket) {
                    t_.startStates = StateList();
                } else {
                    TStateSet set;
                    set.Include(0);
                    set.Include(Value());
                    t_.startStates = set;
                }
                break;
            case tkBoundStates:
                Next();
                Equals();
                t_.boundStates = ValueOrList();
                break;
            case tkGutterFontStyle:
                Next();
                Accept(tkEquals);
                st_.gutterFont.style = StyleList();
                break;
            case tkEditableStyles:
                Next();
                Accept(tkEquals);
                EditableStyles();
                break;
            case tkContextStates:
                Next();
                Accept(tkEquals);
                ContextStates();
                break;
            default: return;
            }
        }
    }

    // Tab stops: 1-based columns separated by blanks or semicolons, each above 1 and above the
    // one before; kept 0-based.
    void TabColumns()
    {
        const std::string raw = RawString();
        std::vector<std::int32_t> stops;
        std::size_t p = 0;
        while (p < raw.size()) {
            const char c = raw[p];
            if (c == ' ' || c == ';' || c == '\t') {
                ++p;
                continue;
            }
            if (!IsDigit(static_cast<unsigned char>(c))) s_.Error("Tab stop column value expected");
            std::int64_t v = 0;
            while (p < raw.size() && IsDigit(static_cast<unsigned char>(raw[p]))) {
                v = std::min<std::int64_t>(v * 10 + (raw[p] - '0'), std::numeric_limits<std::int32_t>::max());
                ++p;
            }
            if (v <= 1) s_.Error("Tab column must be > 1");
            if (!stops.empty() && v - 1 <= stops.back()) s_.Error("Tab columns must be in order and unique");
            if (stops.size() >= static_cast<std::size_t>(TSM_Settings::kTabColumns))
                s_.Error("Too many tab stops - maximum of " + std::to_string(TSM_Settings::kTabColumns));
            stops.push_back(static_cast<std::int32_t>(v - 1));
        }
        for (int i = 0; i < TSM_Settings::kTabColumns; ++i)
            st_.SetTabColumn(i, i < static_cast<int>(stops.size()) ? stops[static_cast<std::size_t>(i)] : -1);
    }

    void EditableStyles()
    {
        do {
            Expect(tkLParen, symmsg::kLParenExpected);
            const std::string name = StringValue();
            Expect(tkComma, symmsg::kCommaExpected);
            const std::int64_t v = Expr();
            if (v < 0 || v > 255) s_.Error(symmsg::kValue0To255);
            Expect(tkRParen, symmsg::kRParenExpected);
            if (editableCount_ >= TSM_Settings::kEditableStyles) s_.Error(symmsg::kTooManyEditableStyles);
            ++editableCount_;
            st_.SetEditableStyle(editableCount_, TEditableStyle{name.substr(0, 25), static_cast<std::uint8_t>(v)});
        } while (Accept(tkComma));
    }

    void ContextStates()
    {
        do {
            Expect(tkLParen, symmsg::kLParenExpected);
            std::vector<std::uint8_t> values;
            do {
                values.push_back(Value());
                Accept(tkComma);
            } while (StartsExpr());
            TStateSet set;
            if (Tok() == tkLBracket) set = StateList();
            Expect(tkRParen, symmsg::kRParenExpected);
            for (std::uint8_t v : values) {
                if (contextGiven_.Contains(v)) s_.Error(Format1("Token value %lld re-specified in ContextState", v));
                contextGiven_.Include(v);
                t_.contextState[v] = set;
            }
        } while (Accept(tkComma));
    }

    // ---- %%words

    void Words()
    {
        while (Tok() == tkString) {
            const std::string word = s_.StringValue();
            Next();
            const TSM_CharGroup terminator = CharSpecGroup();
            const std::uint8_t value = Value();
            TStateSet states;
            if (Tok() == tkLBracket) states = StateList();
            else states.Include(0);
            try {
                t_.keywords->AddWord(word, t_.caseSensitive, value, states, terminator);
            } catch (const EKeywords&) {
                s_.Error(symmsg::kDuplicateWord);
            }
            ExtendStateInfo(value, states);
        }
    }

    // ---- %%handlers

    void Handlers()
    {
        while (StartsExpr()) {
            const std::uint8_t value = Value();
            if (t_.continuation[value]) s_.Error(symmsg::kDuplicateHandler);
            THandlerRule rule;
            if (Tok() == tkMatch) {
                rule.step.handler = Match();
                rule.step.hasHandler = 1;
                rule.step.custom = 1;
            } else if (Tok() == tkString) {
                rule.step.group = CharSpec();
            } else if (StartsExpr()) {
                rule.step.handler = Int32();
                rule.step.hasHandler = 1;
            } else {
                s_.Error(symmsg::kSyntaxError);
            }
            if (Accept(tkQuery)) rule.step.repeat = 1;
            if (Tok() == tkMatch || Tok() == tkString) {
                if (Tok() == tkMatch) {
                    rule.end.handler = Match();
                    rule.end.hasHandler = 1;
                    rule.end.custom = 1;
                } else {
                    EndSpec(rule.end);
                }
                rule.end.consume = Expr() != 0 ? 1 : 0;
            }
            t_.continuation[value] = rule;
        }
    }

    // ---- %%tokens

    void Tokens()
    {
        for (;;) {
            if (Accept(tkQuery)) {
                const std::uint8_t state = Value();
                TFirstCharTable& table = t_.StateTable(state);
                Expect(tkLParen, symmsg::kLParenExpected);
                while (StartsExpr()) TokenEntry(table, state);
                Expect(tkRParen, symmsg::kRParenExpected);
            } else if (StartsExpr()) {
                TokenEntry(t_.defaultTable, std::nullopt);
            } else {
                return;
            }
        }
    }

    static TSM_CharGroup MatcherFirstSet(std::int64_t matcher)
    {
        TSM_CharGroup g;
        const auto letters = [&] {
            g.AddRange('a', 'z');
            g.AddRange('A', 'Z');
        };
        switch (matcher) {
        case 10:
            letters();
            g.AddChar('_');
            break;
        case 11:
            g.AddChar('.');
            g.AddRange('0', '9');
            break;
        case 12:
        case 14:
        case 20: g.AddChar('\''); break;
        case 13:
        case 18: g.AddChar('"'); break;
        case 15:
            g.AddChar('+');
            g.AddChar('-');
            g.AddChar('.');
            g.AddRange('0', '9');
            break;
        case 16: g.AddRange('0', '9'); break;
        case 17:
            letters();
            g.AddRange('0', '9');
            break;
        case 19: g.AddChar('/'); break;
        default: break;
        }
        return g;
    }

    void TokenEntry(TFirstCharTable& table, std::optional<std::uint8_t> groupState)
    {
        TTokenRule rule;
        rule.value = Value();
        TSM_CharGroup first;
        if (Tok() == tkString) {
            first = CharSpecGroup();
            rule.first.group = Register(first);
            if (Tok() == tkMatch || Tok() == tkString || StartsExpr()) {
                bool customBody = false;
                if (Tok() == tkMatch) {
                    rule.body.handler = Match();
                    rule.body.hasHandler = 1;
                    rule.body.custom = 1;
                    customBody = true;
                } else if (Tok() == tkString) {
                    rule.body.group = CharSpec();
                } else {
                    rule.body.handler = Int32();
                    rule.body.hasHandler = 1;
                }
                if (!customBody) {
                    if (Accept(tkQuery)) rule.body.repeat = 1;
                    if (Tok() == tkMatch) {
                        rule.end.handler = Match();
                        rule.end.hasHandler = 1;
                        rule.end.custom = 1;
                    } else if (Tok() == tkString) {
                        EndSpec(rule.end);
                    } else if (StartsExpr()) {
                        rule.end.handler = Int32();
                        rule.end.hasHandler = 1;
                    } else {
                        s_.Error(symmsg::kSyntaxError);
                    }
                    rule.end.consume = Expr() != 0 ? 1 : 0;
                }
            }
        } else if (StartsExpr()) {
            const std::int64_t matcher = Expr();
            if (!IsWholeTokenMatcher(static_cast<std::int32_t>(std::clamp<std::int64_t>(matcher, -1, 100))))
                s_.Error(symmsg::kSyntaxError);
            first = MatcherFirstSet(matcher);
            rule.first.group = Register(first);
            rule.first.hasHandler = 1;
            rule.first.handler = static_cast<std::int32_t>(matcher);
        } else {
            s_.Error(symmsg::kSyntaxError);
        }
        TStateSet valid;
        if (groupState) valid.Include(*groupState);
        const bool listed = Tok() == tkLBracket;
        if (listed) valid |= StateList();
        if (!groupState && !listed) valid.Include(0);
        rule.valid = valid;
        ExtendStateInfo(rule.value, valid);

        for (unsigned c = 0; c < 256; ++c) {
            if (!first.Contains(static_cast<std::uint8_t>(c))) continue;
            if (table.rules[c]) s_.Error(symmsg::kAmbiguousStartSet);
            table.rules[c] = rule;
        }
    }

    // ---- %%map and %%effects

    void Map()
    {
        while (StartsExpr()) {
            const std::uint8_t token = Value();
            const std::uint8_t style = Value();
            st_.SetStyleIndex(token, style);
        }
    }

    void Effects()
    {
        while (StartsExpr()) {
            const std::uint8_t token = Value();
            if (token != 0 && effectGiven_.Contains(token)) s_.Error(symmsg::kDuplicateEffect);
            effectGiven_.Include(token);
            TStyleRecord style;
            if (Tok() == tkLBracket) style.fontStyle = StyleList();
            style.foreground = Bits32();
            style.foregroundDefault = Accept(tkStar);
            style.background = Bits32();
            style.backgroundDefault = Accept(tkStar);
            if (Tok() == tkString && Lowered(s_.StringValue()) == "hotspot") {
                style.hotSpot = true;
                Next();
            }
            style.defined = true;
            st_.SetStyle(token, style);
        }
    }

    // ---- %%states and %%containers

    void States(bool containers)
    {
        while (StartsExpr()) {
            const std::uint8_t token = Value();
            TStateSet zero;
            zero.Include(0);
            TTokenStateInfo& info = StateInfo(token, zero);
            std::optional<std::uint8_t> stack;
            if (!containers && (Tok() == tkPush || Tok() == tkPop)) {
                stack = Tok() == tkPush ? kStackPushBefore : kStackPopBefore;
                Next();
            }
            Expect(tkLParen, symmsg::kLParenExpected);
            for (;;) {
                if (Accept(tkPlus)) info.add |= TermOrList();
                else if (Accept(tkMinus)) info.remove |= TermOrList();
                else break;
            }
            Expect(tkRParen, symmsg::kRParenExpected);
            if (!containers && (Tok() == tkPush || Tok() == tkPop)) {
                if (Tok() == tkPop) {
                    stack = kStackPopAfter;
                    info.add.Clear();
                    info.remove.Clear();
                } else {
                    stack = kStackPushAfter;
                }
                Next();
            }
            if (stack) info.stack = *stack;
            if (containers) info.container = 1;
            info.Normalize();
        }
    }

    // ---- %%keys

    std::uint16_t Modifiers()
    {
        std::uint16_t mods = 0;
        if (!Accept(tkLBracket)) return mods;
        for (;;) {
            if (Accept(tkShift)) mods |= scShift;
            else if (Accept(tkCtrl)) mods |= scCtrl;
            else if (Accept(tkAlt)) mods |= scAlt;
            else if (!Accept(tkComma)) break;
        }
        Expect(tkRBracket, symmsg::kRBracketExpected);
        return mods;
    }

    std::uint16_t Key()
    {
        if (Tok() == tkString) {
            const std::string text = s_.StringValue();
            if (text.empty()) s_.Error(symmsg::kKeyRequired);
            if (text.size() > 1) s_.Error(symmsg::kSingleCharSpec);
            Next();
            const char c = text[0];
            return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        if (!StartsExpr()) s_.Error(symmsg::kKeyRequired);
        return Value();
    }

    void Keys()
    {
        TKeyboardActionContoller& keys = st_.Keys();
        keys.Clear();
        while (StartsExpr()) {
            const int command = static_cast<int>(Ranged(0, std::numeric_limits<std::int32_t>::max()));
            if (Accept(tkLParen)) {
                do {
                    const std::uint16_t mods = Modifiers();
                    const std::uint16_t first = Key();
                    std::uint16_t second = 0;
                    if (Accept(tkComma)) second = Key();
                    // "None" stands for no key: nothing is bound.
                    if (first != 0) Guard([&] { keys.AddBinding(MakeShortcut(first, mods), second, command); });
                } while (Accept(tkBar));
                Expect(tkRParen, symmsg::kRParenExpected);
            }
            if (Tok() == tkString) {
                const std::string name = s_.StringValue();
                if (name.empty()) s_.Error(symmsg::kBlankKeyName);
                Guard([&] { keys.SetCommandName(command, name); });
                Next();
            }
        }
    }

    // ---- %%autoreplace and %%templates

    void AutoReplace()
    {
        TAutoReplace& list = st_.AutoReplace();
        list.Clear();
        for (;;) {
            if (Accept(tkActionKeys)) {
                Equals();
                if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
                Guard([&] { list.SetTriggers(s_.RawString()); });
                Next();
            } else if (Tok() == tkString) {
                const std::string from = StringValue();
                Equals();
                const std::string to = StringValue();
                Guard([&] { list.Add(from, to); });
            } else {
                return;
            }
        }
    }

    void Templates()
    {
        TCodeTemplates& templates = st_.Templates();
        templates.Clear();
        for (;;) {
            if (Accept(tkHotKey)) {
                Equals();
                Expect(tkLParen, symmsg::kLParenExpected);
                const std::uint16_t mods = Modifiers();
                const std::uint16_t key = Key();
                Expect(tkRParen, symmsg::kRParenExpected);
                templates.SetHotKey(MakeShortcut(key, mods));
            } else if (Tok() == tkString) {
                const std::string name = StringValue();
                std::string description;
                if (Accept(tkLParen)) {
                    description = StringValue();
                    Expect(tkRParen, symmsg::kRParenExpected);
                }
                Equals();
                const std::string text = StringValue();
                Guard([&] { templates.Add(name, description, false, text); });
            } else {
                return;
            }
        }
    }

    // ---- %%kwTables

    void KwTables()
    {
        while (Accept(tkForState)) {
            TKeywordTable table;
            table.states = StateList();
            Expect(tkEndsWith, symmsg::kSyntaxError);
            if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
            table.terminator = s_.RawString();
            if (!table.terminator.empty()) {
                std::size_t position = 1;
                ParseSpec(table.terminator, position);
                if (position != table.terminator.size() + 1) s_.Error(symmsg::kSingleCharSpec);
            }
            Next();
            table.caseSensitive = t_.caseSensitive;
            Expect(tkLParen, symmsg::kLParenExpected);
            while (StartsExpr()) {
                const std::uint8_t value = Value();
                Expect(tkIs, symmsg::kSyntaxError);
                if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
                while (Tok() == tkString) {
                    table.words.emplace_back(s_.RawString(), value);
                    Next();
                    if (!Accept(tkComma)) break;
                    if (Tok() != tkString) s_.Error(symmsg::kStringExpected);
                }
            }
            Expect(tkRParen, symmsg::kRParenExpected);
            Guard([&] { st_.AddKeywordTable(table); });
        }
    }

    TSYM_Compiler& s_;
    TParserTables& t_;
    TSM_Settings& st_;
    int editableCount_ = 0;
    TStateSet contextGiven_;
    TStateSet effectGiven_;
};

}  // namespace

void CompileHighlighterText(VOzuvavIdavParser& parser, std::string_view text, const std::string& directory,
                            TIncludeReader reader, const std::string& scriptPath)
{
    parser.Reset();
    {
        TSYM_Compiler scanner(text, directory, scriptPath, std::move(reader));
        TSectionReader sections(scanner, parser);
        sections.Run();
    }
    parser.Tables().FinishCompile();
    parser.SetScanState(0);
}

void CompileHighlighterScript(VOzuvavIdavParser& parser, const std::string& path)
{
    const std::string text = ReadWholeFile(path);
    std::string directory = std::filesystem::path(path).parent_path().string();
    CompileHighlighterText(parser, text, directory, {}, path);
}

void CompileHighlighterScript(VOzuvavIdavParser& parser) { CompileHighlighterScript(parser, parser.Script); }

}  // namespace tarnwick
