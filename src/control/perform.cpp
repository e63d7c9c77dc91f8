// The numbered requests: the control's own codes and the standard edit-control codes, each
// answered through the control's typed operations.

#include <algorithm>
#include <cstring>

#include "control/doravavizu.h"

namespace tarnwick {

std::intptr_t TCustomDoravaVizu::Perform(int code, std::intptr_t first, std::intptr_t second)
{
    const bool set = (first & smSet) != 0;
    const bool quiet = (first & smQuiet) != 0;
    switch (code) {
    case SM_SELECTION: {
        auto* pair = reinterpret_cast<std::int64_t*>(second);
        if (!pair) return 0;
        if (set) Select(pair[0], pair[1], quiet);
        else {
            pair[0] = anchor_;
            pair[1] = caret_;
        }
        return 1;
    }
    case SM_OPTIONS:
        if (set) SetOptionWord(static_cast<std::uint32_t>(second), quiet);
        return static_cast<std::intptr_t>(OptionWord());
    case SM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(second);
        ReplaceSelection(text ? std::string_view(text) : std::string_view());
        if (!quiet) {
            ScrollCaretIntoView();
            FlushChange();
        }
        return 1;
    }
    case SM_LOCKUPDATE: LockUpdate(set); return lockCount_;
    case SM_INSERTSTREAM: {
        auto* stream = reinterpret_cast<TStream*>(second);
        if (stream) InsertStream(*stream, quiet);
        return 1;
    }
    case SM_WRITESTREAM: {
        auto* stream = reinterpret_cast<TStream*>(second);
        return stream ? static_cast<std::intptr_t>(WriteSelection(static_cast<int>(first), *stream)) : 0;
    }
    case SM_MODIFIED:
        if (set) SetModified(second != 0);
        return Modified() ? 1 : 0;
    case SM_TOPLINE:
        if (set) ScrollTo(leftColumn_, second, !quiet);
        return static_cast<std::intptr_t>(topLine_);
    case SM_LEFTCOLUMN:
        if (set) ScrollTo(second, topLine_, !quiet);
        return static_cast<std::intptr_t>(leftColumn_);
    case SM_FIND: {
        const char* text = reinterpret_cast<const char*>(second);
        return static_cast<std::intptr_t>(Find(static_cast<int>(first), text ? text : ""));
    }
    case SM_REPLACEDIALOG: {
        std::string preset;
        if (anchor_ != caret_ && !(first & sfRegExp)) preset = store_->TextRange(SelStart(), SelEnd());
        if (OnShowReplaceDialog) OnShowReplaceDialog(*this, static_cast<int>(first), preset);
        return 1;
    }
    case SM_GETSELTEXT: {
        std::string text = store_->TextRange(SelStart(), SelEnd());
        if (first == 1) {
            std::string crlf;
            for (const char c : text) {
                crlf += c;
                if (c == '\r') crlf += '\n';
            }
            text.swap(crlf);
        }
        if (char* buffer = reinterpret_cast<char*>(second)) {
            std::memcpy(buffer, text.data(), text.size());
            buffer[text.size()] = '\0';
        }
        return static_cast<std::intptr_t>(text.size());
    }
    case SM_CANREDO: return CanRedo() ? 1 : 0;
    case SM_REDO: Redo(); return 1;
    case SM_BLOCKINDENT: BlockIndent(static_cast<int>(first), (second & 1) != 0); return 1;
    case SM_BLOCKUNINDENT: BlockUnindent(static_cast<int>(first)); return 1;
    case SM_APPLYSETTINGS: ApplySettings(); return 1;
    case SM_SETTOKENBYTES:
    case SM_GETTOKENBYTES: {
        // Attribute bytes of a range of lines (all lines when no range is given), one byte per
        // character, line after line; lines without attribute bytes read as zeros.
        auto* buffer = reinterpret_cast<std::uint8_t*>(second);
        if (!buffer || store_->LineCount() == 0) return 0;
        std::int64_t firstLine = 0, lastLine = store_->LineCount() - 1;
        if (const auto* range = reinterpret_cast<const std::int64_t*>(first)) {
            firstLine = std::max<std::int64_t>(0, range[0]);
            lastLine = std::min(lastLine, range[1]);
        }
        std::int64_t at = 0;
        TLineRecord* r = store_->FromLine(firstLine).record;
        for (std::int64_t line = firstLine; r && line <= lastLine; ++line, r = store_->Next(r)) {
            const std::size_t n = r->Length();
            if (code == SM_GETTOKENBYTES) {
                if (const std::uint8_t* a = r->Attributes()) std::memcpy(buffer + at, a, n);
                else std::memset(buffer + at, 0, n);
            } else {
                std::memcpy(store_->AllocateAttributes(r), buffer + at, n);
                r->SetFlags((r->Flags() | lfRepaint) & ~(lfAttributesStale | lfRehighlightFrom));
            }
            at += static_cast<std::int64_t>(n);
        }
        if (code == SM_SETTOKENBYTES) Invalidate();
        return static_cast<std::intptr_t>(at);
    }
    case SM_UNDOSTACK:
        // Set: the store takes the given log over (a new empty one for null) and the previous
        // log, now the caller's, is returned. Get: the store's log.
        if (set)
            return reinterpret_cast<std::intptr_t>(
                store_->ExchangeUndoStack(std::unique_ptr<TUndoStack>(reinterpret_cast<TUndoStack*>(second)))
                    .release());
        return reinterpret_cast<std::intptr_t>(&UndoStack());
    case SM_TEXTSTORE:
        if (first == 1) AttachStore(reinterpret_cast<TTextStore*>(second));
        return reinterpret_cast<std::intptr_t>(store_);
    case EM_POSFROMCHAR: {
        const std::int64_t offset = std::clamp<std::int64_t>(first, 0, store_->CharCount());
        const std::int64_t x = TextLeftEdge() + (ColumnOf(offset) - leftColumn_) * metrics_.charWidth;
        const std::int64_t y = (LineOf(offset) - topLine_) * metrics_.lineHeight;
        if (auto* point = reinterpret_cast<std::int64_t*>(second)) {
            point[0] = x;
            point[1] = y;
        }
        return static_cast<std::intptr_t>((y << 16) | (x & 0xFFFF));
    }
    case EM_CHARFROMPOS: {
        const std::int64_t x = first, y = second;
        const int width = host_ ? host_->ClientWidth() : static_cast<int>(visibleColumns_ * metrics_.charWidth);
        const int height = host_ ? host_->ClientHeight() : static_cast<int>(visibleLines_ * metrics_.lineHeight);
        if (x < TextLeftEdge() || x > width || y < 0 || y > height) return -1;
        const std::int64_t line = topLine_ + y / metrics_.lineHeight;
        const std::int64_t column = leftColumn_ + (x - TextLeftEdge() + metrics_.charWidth / 2) / metrics_.charWidth;
        if (line > LineOf(store_->CharCount())) return static_cast<std::intptr_t>(store_->CharCount());
        return static_cast<std::intptr_t>(OffsetOfColumn(line, column));
    }
    case SM_RESCANLINE:
        if (set) MarkRescan(second);
        return static_cast<std::intptr_t>(rescanLine_);
    case SM_GETINFO: {
        static const std::string info = std::string("<VOzuvavIdav>:") + kControlVersion;
        return reinterpret_cast<std::intptr_t>(info.c_str());
    }
    case EM_GETSEL: {
        if (auto* a = reinterpret_cast<std::int64_t*>(first)) *a = anchor_;
        if (auto* b = reinterpret_cast<std::int64_t*>(second)) *b = caret_;
        return 1;
    }
    case EM_SETSEL:
        if (first == 0 && second == -1) Select(-1, 0);
        else Select(first, second);
        return 1;
    case EM_LINESCROLL: ScrollTo(leftColumn_ + first, topLine_ + second, true); return 1;
    case EM_SCROLLCARET:
        Select(anchor_, caret_);
        ScrollCaretIntoView();
        return 1;
    case EM_GETMODIFY: return Modified() ? 1 : 0;
    case EM_GETLINECOUNT: return static_cast<std::intptr_t>(std::max<std::int64_t>(1, LineOf(store_->CharCount()) + 1));
    case EM_LINEINDEX: return static_cast<std::intptr_t>(LineStart(first == -1 ? LineOf(caret_) : first));
    case EM_LINELENGTH: return static_cast<std::intptr_t>(LineLength(LineOf(first)));
    case EM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(second);
        ReplaceSelection(text ? std::string_view(text) : std::string_view());
        return 1;
    }
    case EM_GETLINE: {
        auto* buffer = reinterpret_cast<char*>(second);
        if (!buffer || first < 0 || first >= store_->LineCount()) return 0;
        std::uint16_t room = 0;
        std::memcpy(&room, buffer, sizeof room);
        const std::int64_t start = LineStart(first);
        const std::string text = store_->TextRange(start, start + LineLength(first));
        const std::size_t n = std::min<std::size_t>(room, text.size());
        std::memcpy(buffer, text.data(), n);
        return static_cast<std::intptr_t>(n);
    }
    case EM_CANUNDO: return CanUndo() ? 1 : 0;
    case EM_UNDO:
    case WM_UNDO: Undo(); return 1;
    case EM_LINEFROMCHAR: return static_cast<std::intptr_t>(LineOf(first == -1 ? caret_ : first));
    case EM_EMPTYUNDOBUFFER: UndoStack().Clear(); return 1;
    case EM_GETFIRSTVISIBLELINE: return static_cast<std::intptr_t>(topLine_);
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(second);
        SetText(text ? text : "");
        return 1;
    }
    case WM_GETTEXTLENGTH: {
        TMemoryStream out;
        const std::int64_t a = anchor_, c = caret_;
        anchor_ = 0;
        caret_ = store_->CharCount();
        const std::int64_t n = WriteSelection(store_->LineStyle() == lsCRLF ? 1 : 0, out);
        anchor_ = a;
        caret_ = c;
        return static_cast<std::intptr_t>(n);
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(second);
        if (!buffer || first <= 0) return 0;
        TMemoryStream out;
        const std::int64_t a = anchor_, c = caret_;
        anchor_ = 0;
        caret_ = store_->CharCount();
        WriteSelection(store_->LineStyle() == lsCRLF ? 1 : 0, out);
        anchor_ = a;
        caret_ = c;
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(first) - 1, out.Data().size());
        std::memcpy(buffer, out.Data().data(), n);
        buffer[n] = '\0';
        return static_cast<std::intptr_t>(n);
    }
    case WM_CUT: Cut(); return 1;
    case WM_COPY: Copy(); return 1;
    case WM_PASTE: Paste(); return 1;
    case EM_CANPASTE: return host_ && host_->ClipboardHasText() ? 1 : 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (WantTab ? DLGC_WANTTAB : 0) | (WantReturns ? DLGC_WANTALLKEYS : 0);
    default: return 0;
    }
}

}  // namespace tarnwick
