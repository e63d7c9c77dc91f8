#include "highlight/script_compiler.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>

#include "base/errors.h"
#include "base/file_io.h"
#include "editor/char_group.h"
#include "editor/key_bindings.h"
#include "editor/settings.h"
#include "highlight/parser.h"
#include "highlight/script_internal.h"
#include "highlight/script_values.h"

namespace tarnwick {

namespace {

using namespace script_detail;

class SectionReader : ScriptValueReader {
public:
    SectionReader(TSYM_Compiler& scanner, VOzuvavIdavParser& parser) : ScriptValueReader(scanner, parser)
    {
        for (int i = 1; i <= TSM_Settings::kEditableStyles && !st_.EditableStyle(i).name.empty(); ++i)
            editableCount_ = i;
    }

    void Run()
    {
        Next();
        while (Tok() != tkEOF) {
            const ScriptToken section = Tok();
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
    // ---- %%language

    void Language()
    {
        for (;;) {
            const ScriptToken key = Tok();
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
            st_.SetEditableStyle(editableCount_, NamedStyle{name.substr(0, 25), static_cast<std::uint8_t>(v)});
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
                FirstCharTable& table = t_.StateTable(state);
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

    void TokenEntry(FirstCharTable& table, std::optional<std::uint8_t> groupState)
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
            StyleRecord style;
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
            KeywordTable table;
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

    int editableCount_ = 0;
    TStateSet contextGiven_;
    TStateSet effectGiven_;
};

}  // namespace

void CompileHighlighterText(VOzuvavIdavParser& parser, std::string_view text, const std::string& directory,
                            IncludeReader reader, const std::string& scriptPath)
{
    parser.Reset();
    {
        TSYM_Compiler scanner(text, directory, scriptPath, std::move(reader));
        SectionReader sections(scanner, parser);
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
