#include "highlight/matchers.h"

#include "highlight/parser_tables.h"

namespace tarnwick {

namespace {

constexpr bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(unsigned char c) { return kIdentifierChar[c]; }

// Reads the stream's characters with one-character lookahead; remembers where it started.
class Cursor {
public:
    explicit Cursor(TEdStream& s) : s_(s), start_(s.GetPos()), startPlace_(s.Save()) {}
    bool AtEnd() const { return s_.AtEnd(); }
    unsigned char Cur() const { return s_.AtEnd() ? 0 : static_cast<unsigned char>(s_.CurrentChar()); }
    // The character `ahead` positions after the current one (0 past the end).
    unsigned char Peek(std::int64_t ahead) const
    {
        // Stepping and coming back by saved place costs no lookup in the store, even across a
        // line end.
        const TEdStream::Place at = s_.Save();
        for (std::int64_t i = 0; i < ahead && !s_.AtEnd(); ++i) s_.NextChar();
        const unsigned char c = Cur();
        s_.Restore(at);
        return c;
    }
    void Next() { s_.NextChar(); }
    std::int64_t Pos() const { return s_.GetPos(); }
    std::int64_t Consumed() const { return s_.GetPos() - start_; }
    void Back(std::int64_t to) { s_.Seek(to, SeekOrigin::soFromBeginning); }
    bool Fail()
    {
        s_.Restore(startPlace_);
        return false;
    }
    // Steps over the characters that satisfy `pred`, reading the line records directly.
    template <class Pred>
    void SkipWhile(Pred pred)
    {
        while (!s_.AtEnd()) {
            const TEdStream::Place at = s_.Save();
            const char* text = at.record->Text();
            const std::int64_t length = at.record->Length();
            std::int64_t i = at.inRecord;
            while (i < length && pred(static_cast<unsigned char>(text[i]))) ++i;
            if (i == at.inRecord) return;
            // Stop on the last one taken and step over it the usual way (into the next record).
            s_.Restore({at.record, i - 1, at.position + (i - 1 - at.inRecord)});
            s_.NextChar();
            if (i < length) return;
        }
    }
    bool Done(int& kLength)
    {
        if (Consumed() <= 0) return Fail();
        kLength += static_cast<int>(Consumed());
        return true;
    }

private:
    TEdStream& s_;
    std::int64_t start_;
    TEdStream::Place startPlace_;
};

void Digits(Cursor& c) { c.SkipWhile(IsDigit); }

// Digits, an optional fraction and an optional exponent; the parts that do not complete are
// left out of the token.
bool NumberOrFp(Cursor& c, int& kLength)
{
    bool any = false;
    if (IsDigit(c.Cur())) {
        Digits(c);
        any = true;
    }
    if (c.Cur() == '.' && IsDigit(c.Peek(1))) {
        c.Next();
        Digits(c);
        any = true;
    }
    if (!any) return c.Fail();
    if (c.Cur() == 'e' || c.Cur() == 'E') {
        const unsigned char s = c.Peek(1);
        const bool sign = s == '+' || s == '-';
        if (IsDigit(sign ? c.Peek(2) : s)) {
            c.Next();
            if (sign) c.Next();
            Digits(c);
        }
    }
    return c.Done(kLength);
}

// A quoted text with backslash escapes; ends after the closing quote or before a line end.
bool EscapedString(Cursor& c, unsigned char quote, int& kLength)
{
    if (c.Cur() != quote) return c.Fail();
    c.Next();
    while (!c.AtEnd()) {
        const unsigned char ch = c.Cur();
        if (ch == '\r') break;
        c.Next();
        if (ch == quote) break;
        if (ch == '\\' && !c.AtEnd() && c.Cur() != '\r') c.Next();
    }
    return c.Done(kLength);
}

bool IsWebChar(unsigned char ch)
{
    if (IsLetter(ch) || IsDigit(ch)) return true;
    if (ch >= '-' && ch <= ':') return true;
    switch (ch) {
    case '#':
    case '&':
    case '=':
    case '?':
    case '@':
    case '\\':
    case '_':
    case '|':
    case '~': return true;
    default: return false;
    }
}

bool IsMailChar(unsigned char ch)
{
    return IsLetter(ch) || IsDigit(ch) || ch == '~' || ch == '.' || ch == '@' || ch == '-' || ch == '_';
}

bool AtLineStart(TEdStream& s, std::int64_t tokenStart)
{
    if (tokenStart <= 0) return true;
    const std::int64_t at = s.GetPos();
    s.Seek(tokenStart - 1, SeekOrigin::soFromBeginning);
    const bool start = s.CurrentChar() == '\r';
    s.Seek(at, SeekOrigin::soFromBeginning);
    return start;
}

}  // namespace

bool RunBuiltInMatcher(std::int32_t id, TEdStream& stream, std::int64_t tokenStart, int& kLength)
{
    Cursor c(stream);
    switch (id) {
    case kMatchPascalChar: {
        if (c.AtEnd() || c.Cur() == '\r') return c.Fail();
        if (c.Cur() == '\'') {
            if (c.Peek(1) != '\'') return c.Fail();
            c.Next();
        }
        c.Next();
        return c.Done(kLength);
    }
    case kMatchWebChar: {
        while (!c.AtEnd() && IsWebChar(c.Cur())) c.Next();
        if (c.Consumed() > 0) {
            c.Back(c.Pos() - 1);
            if (c.Cur() != '.') c.Next();
        }
        return c.Done(kLength);
    }
    case kMatchOriginalChar: {
        if (!AtLineStart(stream, tokenStart)) return c.Fail();
        while (!c.AtEnd() && c.Cur() != '\r') c.Next();
        // The rest of an empty line is nothing: a success that consumes no character.
        kLength += static_cast<int>(c.Consumed());
        return true;
    }
    case kMatchStdIdentifier: {
        if (!(IsLetter(c.Cur()) || c.Cur() == '_')) return c.Fail();
        c.SkipWhile(IsIdentChar);
        return c.Done(kLength);
    }
    case kMatchStdNumberOrFp: return NumberOrFp(c, kLength);
    case kMatchStdCNumberOrFpSigned: {
        if (c.Cur() == '+' || c.Cur() == '-') c.Next();
        int inner = 0;
        Cursor rest(stream);
        if (!NumberOrFp(rest, inner)) return c.Fail();
        return c.Done(kLength);
    }
    case kMatchStdPascalString: {
        if (c.Cur() != '\'') return c.Fail();
        c.Next();
        while (!c.AtEnd() && c.Cur() != '\r') {
            if (c.Cur() == '\'') {
                c.Next();
                if (c.Cur() != '\'') break;  // the closing quote
            }
            c.Next();
        }
        return c.Done(kLength);
    }
    case kMatchStdCString: return EscapedString(c, '"', kLength);
    case kMatchStdCChar:
    case kMatchStdCStringSq: return EscapedString(c, '\'', kLength);
    case kMatchStdNumber: {
        Digits(c);
        return c.Done(kLength);
    }
    case kMatchStdMailUrl: {
        bool at = false;
        while (!c.AtEnd() && IsMailChar(c.Cur())) {
            if (c.Cur() == '@') at = true;
            c.Next();
        }
        if (!at) return c.Fail();
        c.Back(c.Pos() - 1);
        if (c.Cur() != '.') c.Next();
        return c.Done(kLength);
    }
    case kMatchStdHtmlString: {
        if (c.AtEnd()) return c.Fail();
        c.Next();
        while (!c.AtEnd()) {
            const unsigned char ch = c.Cur();
            c.Next();
            if (ch == '"' || ch == '\r') break;
        }
        return c.Done(kLength);
    }
    case kMatchStdJsLineComment: {
        while (!c.AtEnd() && c.Cur() != '\r') {
            if (c.Cur() == '-') {
                // Look at the whole run of dashes once.
                const std::int64_t run = c.Pos();
                std::int64_t n = 0;
                while (!c.AtEnd() && c.Cur() == '-') {
                    c.Next();
                    ++n;
                }
                if (n >= 2 && c.Cur() == '>') {
                    c.Back(run);
                    break;
                }
                continue;
            }
            c.Next();
        }
        return c.Done(kLength);
    }
    default: return c.Fail();
    }
}

}  // namespace tarnwick
