#pragma once
// The values of a highlighter script that the section readers take from the scanner's tokens:
// numbers and expressions, state lists, strings, character specifications, styles and colours.

#include <cstdint>
#include <limits>
#include <string>

#include "base/errors.h"
#include "editor/char_group.h"
#include "editor/settings.h"
#include "highlight/parser.h"
#include "highlight/script_internal.h"
#include "highlight/script_scanner.h"

namespace tarnwick {

class ScriptValueReader {
protected:
    ScriptValueReader(TSYM_Compiler& scanner, VOzuvavIdavParser& parser)
        : s_(scanner), t_(parser.Tables()), st_(parser.Settings())
    {
    }

    static constexpr const char* kExpressionTooDeep = "Expression nested too deeply";

    // ---- token helpers

    ScriptToken Tok() const { return s_.Token(); }
    void Next() { s_.GetToken(); }
    bool Accept(ScriptToken token)
    {
        if (Tok() != token) return false;
        Next();
        return true;
    }
    void Expect(ScriptToken token, int message)
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
            const ScriptToken op = Tok();
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
        if (v < low || v > high) s_.Error(script_detail::RangeMessage(low, high));
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
        if (v < 0 || v > 255) s_.Error(script_detail::RangeMessage(0, 255));
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

    void Equals() { Expect(tkEquals, symmsg::kEqualsExpected); }

    TSYM_Compiler& s_;
    ParserTables& t_;
    TSM_Settings& st_;
};

}  // namespace tarnwick
