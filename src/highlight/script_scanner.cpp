#include "highlight/script_scanner.h"

#include <cstdio>
#include <filesystem>

#include "base/errors.h"
#include "base/file_io.h"
#include "highlight/script_internal.h"

namespace tarnwick {

namespace {

using namespace script_detail;

// Messages that have no number of their own.
constexpr const char* kIncludeTooDeep = "#include files nested too deeply (more than 32 levels)";
constexpr const char* kIncludeRecursive = "Recursive #include of file ";
constexpr const char* kMacroTooDeep = "Macro expansions nested too deeply (more than 256 levels)";
constexpr const char* kExpansionTooLarge = "Script too large after macro and #include expansion";
constexpr const char* kElseWithoutIf = "#else without #ifdef or #ifndef";
constexpr const char* kEndifWithoutIf = "#endif without #ifdef or #ifndef";

struct ReservedWord {
    const char* word;
    ScriptToken token;
};

constexpr ReservedWord kReservedWords[] = {
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

struct PredefinedMacro {
    const char* name;
    const char* value;
};

constexpr PredefinedMacro kPredefinedMacros[] = {
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
bool IsIdentStart(int c) { return IsLetter(c) || c == '_'; }
bool IsIdentChar(int c) { return c >= 0 && TWordStore::IsIdentChar(static_cast<unsigned char>(c)); }
bool IsBlank(int c) { return c == ' ' || c == '\t' || c == 160; }
bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

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

TSYM_Compiler::TSYM_Compiler(std::string_view script, std::string directory, std::string scriptPath,
                             IncludeReader reader)
    : directory_(std::move(directory)), reader_(reader ? std::move(reader) : IncludeReader(ReadFileFromDisk))
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

std::string TSYM_Compiler::TokenName(ScriptToken token)
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

ScriptToken TSYM_Compiler::GetToken()
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
                return token_ = static_cast<ScriptToken>(word->token);
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
            return token_ = static_cast<ScriptToken>(word->token);
        }
        Error(Format1("Unknown character in input stream: #$%.2llx", c));
    }
}

}  // namespace tarnwick
