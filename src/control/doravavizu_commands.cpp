// The 48 editor commands.

#include <algorithm>

#include "control/doravavizu.h"
#include "editor/marks.h"

namespace tarnwick {

namespace {

enum : int {
    ecLeft = 0,
    ecRight,
    ecLineStart,
    ecLineEnd,
    ecUp,
    ecDown,
    ecPageUp,
    ecPageDown,
    ecWordBefore,
    ecWordAfter,
    ecDocStart,
    ecDocEnd,
    ecCut,
    ecCopy,
    ecPaste,
    ecDeleteChar,
    ecBackspace,
    ecIndent,
    ecUnindent,
    ecInsertMode,
    ecSetBookmark0 = 20,
    ecGotoBookmark0 = 30,
    ecDeleteLine = 40,
    ecUndo,
    ecRedo,
    ecDeleteWordBefore,
    ecPrintSelection,
    ecDeleteWordAfter,
    ecScrollUp,
    ecScrollDown,
};

}  // namespace

std::int64_t TCustomDoravaVizu::WordBefore(std::int64_t from) const
{
    if (from <= 0) return 0;
    const std::int64_t start = std::max<std::int64_t>(0, from - 4096);
    // Words never span more than one read window in practice; read backwards in windows.
    std::int64_t p = from;
    std::string window = store_->TextRange(start, from);
    const auto at = [&](std::int64_t i) -> char {
        if (i < start) {
            const std::string one = store_->TextRange(i, i + 1);
            return one.empty() ? '\0' : one[0];
        }
        return window[static_cast<std::size_t>(i - start)];
    };
    while (p > 0 && !IsWordChar(at(p - 1))) --p;
    while (p > 0 && IsWordChar(at(p - 1))) --p;
    // Stop where the character after the position starts a word.
    while (p < from && !IsWordStartChar(at(p))) ++p;
    return p;
}

std::int64_t TCustomDoravaVizu::WordAfter(std::int64_t from) const
{
    const std::int64_t size = store_->CharCount();
    std::int64_t p = from;
    TEdStream s(store_);
    s.SetPos(p);
    while (p < size && IsWordChar(s.CurrentChar())) {
        s.NextChar();
        ++p;
    }
    while (p < size && !IsWordChar(s.CurrentChar())) {
        s.NextChar();
        ++p;
    }
    if (p < size && IsWordStartChar(s.CurrentChar())) return p;
    return from;
}

void TCustomDoravaVizu::MoveCaret(std::int64_t to, bool extend) { Select(extend ? anchor_ : to, to); }

void TCustomDoravaVizu::VerticalMove(int command, bool extend)
{
    const std::int64_t line = LineOf(caret_);
    const std::int64_t lines = std::max<std::int64_t>(1, LineOf(store_->CharCount()) + 1);
    std::int64_t step = 1;
    if (command == ecPageUp || command == ecPageDown) step = std::max<std::int64_t>(1, visibleLines_);
    const bool up = command == ecUp || command == ecPageUp;
    const std::int64_t target = std::clamp<std::int64_t>(up ? line - step : line + step, 0, lines - 1);
    if (command == ecPageUp || command == ecPageDown) {
        const std::int64_t by = target - line;
        topLine_ = std::clamp<std::int64_t>(topLine_ + by, 0, std::max<std::int64_t>(0, store_->LineCount() - 1));
        Notify(cfScrolled);
        Invalidate();
    }
    const std::int64_t column = beyondEol_ ? virtualColumn_ : trackedColumn_;
    if (HasOption(smoCaretAfterEOL) && metrics_.fixedPitch) {
        const std::int64_t endColumn = ColumnOf(LineStart(target) + LineLength(target));
        const std::int64_t to = OffsetOfColumn(target, column);
        beyondEol_ = column > endColumn;
        virtualColumn_ = column;
        Select(extend ? anchor_ : to, to);
        return;
    }
    const std::int64_t to = OffsetOfColumn(target, column);
    trackPending_ = true;
    Select(extend ? anchor_ : to, to);
}

std::int64_t TCustomDoravaVizu::MoveTarget(int command, std::int64_t from)
{
    switch (command) {
    case ecLeft: return std::max<std::int64_t>(0, from - 1);
    case ecRight: return std::min(store_->CharCount(), from + 1);
    case ecLineStart: return LineStart(LineOf(from));
    case ecLineEnd: {
        const std::int64_t line = LineOf(from);
        return LineStart(line) + LineLength(line);
    }
    case ecWordBefore: return WordBefore(from);
    case ecWordAfter: return WordAfter(from);
    case ecDocStart: return 0;
    case ecDocEnd: return store_->CharCount();
    default: return from;
    }
}

void TCustomDoravaVizu::DeleteChar(bool forward)
{
    if (ReadOnly) return;
    if (beyondEol_ && anchor_ == caret_ && !forward) {
        // Backspace beyond the line end only moves the virtual column.
        virtualColumn_ = std::max<std::int64_t>(0, virtualColumn_ - 1);
        const std::int64_t line = LineOf(caret_);
        if (virtualColumn_ <= ColumnOf(LineStart(line) + LineLength(line))) beyondEol_ = false;
        Notify(cfSelection);
        FlushChange();
        return;
    }
    {
        EditGroup group(*this, egDeleteChar);
        if (beyondEol_ && anchor_ == caret_) ReplaceSelection({});  // fills the gap up to the virtual column
        if (anchor_ == caret_) {
            if (forward ? caret_ >= store_->CharCount() : caret_ <= 0) return;
            if (forward) {
                caret_ = caret_ + 1;
            } else {
                anchor_ = caret_;
                caret_ = caret_ - 1;
            }
        }
        ReplaceSelection({});
    }
    FinishEdit();
}

void TCustomDoravaVizu::DeleteWord(bool forward)
{
    if (ReadOnly) return;
    const std::int64_t boundary = forward ? WordAfter(caret_) : WordBefore(caret_);
    if (boundary == caret_) return;
    {
        EditGroup group(*this, forward ? egDeleteNextWord : egDeletePrevWord);
        anchor_ = caret_;
        caret_ = boundary;
        ReplaceSelection({});
    }
    FinishEdit();
}

void TCustomDoravaVizu::DeleteCurrentLine()
{
    if (ReadOnly || anchor_ != caret_) return;
    const std::int64_t line = LineOf(caret_);
    const std::int64_t start = LineStart(line);
    const std::int64_t end = line < store_->LineCount() ? start + store_->FromLine(line).record->Length() : start;
    if (end == start) return;
    anchor_ = start;
    caret_ = end;
    ReplaceSelection({});
    FinishEdit();
}

void TCustomDoravaVizu::SetBookmark(int index)
{
    if (index < 0 || index > 9) throw EDoravaVizu(msg::kBookmarkIndexRange);
    if (store_->LineCount() == 0) return;
    // The caret's record and its column there: the mark goes to the first record of the logical
    // line, and the column is counted from the logical line's start, by the bookmark code.
    const std::int64_t line = std::min(LineOf(caret_), store_->LineCount() - 1);
    const std::int64_t column = caret_ - LineStart(line);
    const BookmarkSetResult r = SetNumberedBookmark(*store_, index, line, column, [this](int n) {
        if (OnBookmarkSet) OnBookmarkSet(*this, n);
    });
    if (r == bsrCleared && OnBookmarkClear) OnBookmarkClear(*this, index);
    Invalidate();
}

void TCustomDoravaVizu::GotoBookmark(int index)
{
    if (index < 0 || index > 9) throw EDoravaVizu(msg::kBookmarkIndexRange);
    const std::optional<BookmarkTarget> target = NumberedBookmarkTarget(*store_, index);
    if (!target) return;
    const std::int64_t line = target->line;
    const std::int64_t top = std::max<std::int64_t>(0, line - visibleLines_ / 2);
    topLine_ = std::min(top, std::max<std::int64_t>(0, store_->LineCount() - 1));
    Notify(cfScrolled);
    beyondEol_ = false;
    anchor_ = caret_ = target->offset;
    trackedColumn_ = ColumnOf(caret_);
    Notify(cfSelection);
    WantColoured(topLine_, topLine_ + visibleLines_);
    Invalidate();
    FlushChange();
}

void TCustomDoravaVizu::ScrollLineCommand(bool down)
{
    const std::int64_t last = std::max<std::int64_t>(0, store_->LineCount() - 1);
    const std::int64_t top = std::clamp<std::int64_t>(topLine_ + (down ? 1 : -1), 0, last);
    if (top == topLine_) return;
    ScrollTo(leftColumn_, top, true);
    const std::int64_t line = LineOf(caret_);
    if (line < topLine_) VerticalMove(ecDown, false);
    else if (line >= topLine_ + visibleLines_) VerticalMove(ecUp, false);
}

void TCustomDoravaVizu::ExecuteCommand(int command, int value, bool extend)
{
    (void)value;
    if (command < 0 || command >= 48) return;
    if (command <= ecDocEnd) {
        if (command == ecUp || command == ecDown || command == ecPageUp || command == ecPageDown) {
            VerticalMove(command, extend);
            return;
        }
        if (HasOption(smoCaretAfterEOL) && metrics_.fixedPitch && anchor_ == caret_ && !extend) {
            const std::int64_t line = LineOf(caret_);
            const std::int64_t lineEnd = LineStart(line) + LineLength(line);
            const std::int64_t endColumn = ColumnOf(lineEnd);
            if (command == ecLeft && beyondEol_) {
                if (--virtualColumn_ <= endColumn) beyondEol_ = false;
                Notify(cfSelection);
                FlushChange();
                return;
            }
            if (command == ecRight && caret_ == lineEnd && (beyondEol_ || line < store_->LineCount())) {
                if (!beyondEol_) virtualColumn_ = endColumn;
                if (virtualColumn_ < kMaxVirtualColumn) ++virtualColumn_;
                beyondEol_ = true;
                Notify(cfSelection);
                ScrollCaretIntoView();
                FlushChange();
                return;
            }
        }
        beyondEol_ = false;
        MoveCaret(MoveTarget(command, caret_), extend);
        return;
    }
    if (command >= ecSetBookmark0 && command < ecSetBookmark0 + 10) {
        SetBookmark(command - ecSetBookmark0);
        return;
    }
    if (command >= ecGotoBookmark0 && command < ecGotoBookmark0 + 10) {
        GotoBookmark(command - ecGotoBookmark0);
        return;
    }
    switch (command) {
    case ecCut: Cut(); break;
    case ecCopy: Copy(); break;
    case ecPaste: Paste(); break;
    case ecDeleteChar: DeleteChar(true); break;
    case ecBackspace: DeleteChar(false); break;
    case ecIndent: BlockIndent(0, false); break;
    case ecUnindent: BlockUnindent(0); break;
    case ecInsertMode:
        insertMode_ = !insertMode_;
        Notify(cfInsertMode);
        FlushChange();
        Invalidate();
        break;
    case ecDeleteLine: DeleteCurrentLine(); break;
    case ecUndo: Undo(); break;
    case ecRedo: Redo(); break;
    case ecDeleteWordBefore: DeleteWord(false); break;
    case ecPrintSelection:
        if (OnPrintSelection) OnPrintSelection(*this);
        break;
    case ecDeleteWordAfter: DeleteWord(true); break;
    case ecScrollUp: ScrollLineCommand(false); break;
    case ecScrollDown: ScrollLineCommand(true); break;
    default: break;
    }
}

}  // namespace tarnwick
