// libFuzzer target for the editor control's logic: the input is a program of requests, typed
// keys, editor commands, mouse clicks and moves, and drops (from elsewhere and of the control's
// own selection) run against a control with the SQL highlighter and a fake window.
//
// Checked after every step:
//  - the text equals a plain string kept from the control's own change reports (OnTextChange),
//    so every change of the text is reported exactly;
//  - the selection lies inside the text, and every line record is found again by its offset;
//  - no drop caret or dragged guide line is left behind once the mouse or the drag is done;
//  - dragging the selection onto the control keeps the text's length (move) or adds the
//    selection once (copy), or changes nothing;
// and at the end, while the undo log was never emptied: undoing everything gives the first text
// back, and redoing everything the last one.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/doravavizu.h"
#include "editor/export_writers.h"
#include "highlight/builtin_sql.h"
#include "support/fake_host.h"

namespace {

using namespace tarnwick;

[[noreturn]] void Broken(const char* what, int step)
{
    std::fprintf(stderr, "invariant broken at step %d: %s\n", step, what);
    std::abort();
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool More() const { return at_ < size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Text(std::size_t max)
    {
        const std::size_t n = std::min<std::size_t>(Byte() % (max + 1), size_ - at_);
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

const VOzuvavIdavParser& SqlHighlighter()
{
    static VOzuvavIdavParser* parser = [] {
        auto* p = new VOzuvavIdavParser;
        LoadBuiltInSqlHighlighter(*p);
        return p;
    }();
    return *parser;
}

// TARNWICK_FUZZ_TRACE=1 prints every step (to follow a finding).
bool Trace()
{
    static const bool on = std::getenv("TARNWICK_FUZZ_TRACE") != nullptr;
    return on;
}

std::string Escaped(const std::string& s)
{
    std::string out;
    for (const char ch : s) {
        if (ch == '\r') out += "\\r";
        else if (ch == '\t') out += "\\t";
        else out += ch;
    }
    return out;
}

constexpr std::uint16_t kKeys[] = {vkLeft, vkRight,  vkUp,     vkDown, vkHome,   vkEnd, vkPrior, vkNext,
                                   vkBack, vkDelete, vkInsert, vkTab,  vkReturn, 'K',   'Q',     'I',
                                   'U',    'Z',      'Y',      'X',    'C',      'V',   '3',     '5'};
constexpr VOzuvavIdavOption kToggles[] = {
    smoWordWrap,    smoCaretAfterEOL,  smoUseTAB,          smoSmartFill,     smoAutoIndent,          smoTabToColumn,
    smoColumnTrack, smoWrapOverride,   smoSyntaxHighlight, smoOLEDragSource, smoProcessDroppedFiles, smoWordSelect,
    smoShowRMargin, smoShowWrapColumn, smoShowGutter};

// A point anywhere on the window, now and then far outside it.
int Coordinate(Reader& in, int scale)
{
    const std::uint8_t b = in.Byte();
    if (b == 255) return (in.Byte() & 1) ? 1 << 30 : -(1 << 30);
    return b * scale - 40;
}

// Dropped data: a few formats, the text sometimes repeated into a long run.
TCustomDoravaVizu::DropData ReadDropData(Reader& in)
{
    TCustomDoravaVizu::DropData d;
    d.sourceTypes = static_cast<std::uint16_t>(in.Byte() | (in.Byte() << 8));
    d.text = in.Text(60);
    const int repeat = in.Byte() % 8 == 0 ? 1 + in.Byte() % 200 : 1;
    const std::string unit = d.text;
    for (int i = 1; i < repeat; ++i) d.text += unit;
    d.html = in.Text(40);
    d.wideText = in.Text(20);
    for (int n = in.Byte() % 3; n > 0; --n) d.files.push_back(in.Text(20));
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    test::FakeHost host;
    host.width = 200 + in.Byte() * 4;
    VOzuvavIdav c(&host);
    VOzuvavIdavParser parser;
    parser.Assign(&SqlHighlighter());
    c.SetParser(1, &parser);

    std::string model;
    c.OnTextChange = [&](TCustomDoravaVizu& control, std::int64_t start, std::int64_t extent) {
        if (start == 0 && extent == 0) model.clear();
        else if (extent < 0) model.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(-extent));
        else model.insert(static_cast<std::size_t>(start), control.Store().TextRange(start, start + extent));
    };
    // Events a program may handle: links on one token value, a data-drop handler that changes
    // the source types, a files handler that adds a name.
    {
        const std::uint8_t link = in.Byte();
        TSM_Settings& s = c.Settings();
        StyleRecord style = s.Style(s.StyleIndex(link));
        style.hotSpot = true;
        style.defined = true;
        s.SetStyle(s.StyleIndex(link), style);
    }
    const std::uint16_t dropMask = static_cast<std::uint16_t>(in.Byte() << 8 | in.Byte());
    if (dropMask & 1) c.OnDataDrop = [dropMask](TCustomDoravaVizu&, std::uint16_t& types) { types ^= dropMask; };
    c.OnFilesDropped = [](TCustomDoravaVizu&, std::vector<std::string>& files, int, int) {
        files.push_back("added.sql");
    };
    c.OnHyperlinkClick = [](TCustomDoravaVizu&, const std::string&, int) {};
    c.OnGutterClick = [](TCustomDoravaVizu&, std::int64_t) {};
    std::int64_t now = 0;

    c.SetText(in.Text(200));
    const std::string first = c.Text();
    if (model != first) Broken("the loaded text was not reported", 0);
    bool undoKept = true;

    for (int step = 1; in.More() && step < 400; ++step) {
        const std::uint8_t op = in.Byte();
        const auto n = c.Store().CharCount();
        switch (op % 20) {
        case 0:
        case 1: c.KeyPress(static_cast<char>(in.Byte())); break;
        case 2:
        case 3: {
            const std::uint8_t k = in.Byte();
            const std::uint8_t mods = in.Byte();
            const std::uint16_t shift = (mods & 1 ? scShift : 0) | (mods & 2 ? scCtrl : 0);
            if (!c.KeyDown(kKeys[k % std::size(kKeys)], shift)) {
                if (k % std::size(kKeys) == 11) c.KeyPress('\t');
                if (k % std::size(kKeys) == 12) c.KeyPress('\r');
            }
            break;
        }
        case 4:
        case 5: c.ExecuteCommand(in.Byte() % 48, 0, in.Byte() & 1); break;
        case 6: {
            const std::int64_t a = n ? in.Byte() * 7919 % (n + 1) : 0;
            const std::int64_t b = n ? in.Byte() * 104729 % (n + 1) : 0;
            c.Select(in.Byte() % 16 == 0 ? -1 : a, b);
            break;
        }
        case 7: c.SetSelText(in.Text(40)); break;
        case 8:
        case 9: {
            // The log was written on this very text: replay must never find that it does not fit.
            const bool could = op % 16 == 8 ? c.CanUndo() : c.CanRedo();
            const int beeps = host.beeps;
            if (op % 16 == 8) c.Undo();
            else c.Redo();
            if (could && host.beeps != beeps && c.UndoStack().Empty()) Broken("replay refused its own log", step);
            break;
        }
        case 10: {
            const VOzuvavIdavOption o = kToggles[in.Byte() % std::size(kToggles)];
            c.SetOptions(c.Options() ^ OptionBit(o));
            break;
        }
        case 11: c.SetWrapAtColumn(in.Byte() % 3 == 0 ? 0 : 5 + in.Byte() % 60); break;
        case 12: {
            const std::string pattern = in.Text(6);
            std::int64_t at = 0;
            c.FindText(pattern, at, in.Byte() & (sfMatchCase | sfRegExp | sfWholeWord | sfBackwards));
            break;
        }
        case 13: {
            const std::string pattern = in.Text(6);
            const std::string with = in.Text(6);
            if (in.Byte() & 1) c.ReplaceAllRegExp(pattern, with, 0);
            else c.ReplaceAll(pattern, with, in.Byte() & (sfMatchCase | sfWholeWord));
            break;
        }
        case 14:
            if (in.Byte() & 1) c.BlockIndent(in.Byte() % 4, in.Byte() & 1);
            else c.BlockUnindent(in.Byte() % 4);
            break;
        case 15:
            switch (in.Byte() % 4) {
            case 0: c.ScrollTo(in.Byte(), in.Byte() * 3); break;
            case 1: c.HighlightIdle(in.Byte()); break;
            case 2:
                c.SetModified(false);
                undoKept = false;
                break;
            case 3: c.SetIndentStep(in.Byte() % 22); break;
            }
            break;
        case 16: {
            // A click (quick enough to count on, or not), perhaps dragged, perhaps a double click.
            const int x = Coordinate(in, 4), y = Coordinate(in, 2);
            const std::uint8_t how = in.Byte();
            now += (how & 1) ? 50 : 5000;
            c.MouseDown(x, y, (how & 2) ? scShift : 0, now);
            if (how & 4) c.DoubleClick(x, y);
            for (int moves = (how >> 3) % 4; moves > 0; --moves)
                c.MouseMove(Coordinate(in, 4), Coordinate(in, 2), 0, true);
            if (how & 0x40) c.AutoScrollStep();
            c.MouseUp(Coordinate(in, 4), Coordinate(in, 2), 0);
            if (c.DraggedGuideX() != -1) Broken("a guide line is left after the release", step);
            break;
        }
        case 17: {
            // Hovering, then selecting with the button held while the view scrolls.
            c.MouseMove(Coordinate(in, 4), Coordinate(in, 2), 0, false);
            if (in.Byte() & 1) {
                c.MouseDown(Coordinate(in, 4), Coordinate(in, 2), 0, now += 5000);
                c.MouseMove(Coordinate(in, 4), Coordinate(in, 2), 0, true);
                for (int steps = in.Byte() % 8; steps > 0; --steps) c.AutoScrollStep();
                c.MouseMove(Coordinate(in, 4), Coordinate(in, 2), 0, in.Byte() & 1);
                c.MouseUp(Coordinate(in, 4), Coordinate(in, 2), 0);
            }
            break;
        }
        case 18: {
            // Data from another program dragged over the control and dropped, or taken away.
            const TCustomDoravaVizu::DropData d = ReadDropData(in);
            const std::uint16_t keys = (in.Byte() & 1) ? scCtrl : 0;
            c.DragEnter(d.sourceTypes, keys, Coordinate(in, 4), Coordinate(in, 2));
            for (int moves = in.Byte() % 3; moves > 0; --moves) {
                c.DragOver(keys, Coordinate(in, 4), Coordinate(in, 2));
                c.AutoScrollStep();
            }
            if (in.Byte() % 4 == 0) c.DragLeave();
            else c.Drop(d, keys, Coordinate(in, 4), Coordinate(in, 2), in.Byte() % 8 == 0);
            if (c.DropCaret() != -1) Broken("the drop caret is left after the drop", step);
            break;
        }
        case 19: {
            // The selection dragged from the control and dropped on it, or on another program.
            const std::uint8_t how = in.Byte();
            const int dropX = Coordinate(in, 4), dropY = Coordinate(in, 2);
            const std::uint16_t keys = (how & 1) ? scCtrl : 0;
            const bool readOnly = (how & 0x10) != 0;
            const std::int64_t before = c.Store().CharCount();
            const std::int64_t selected = c.SelEnd() - c.SelStart();
            DropEffect dropped = DropEffect::deNone;
            bool dropRan = false;
            host.dragResult = static_cast<DropEffect>((how >> 2) % 3);
            if (how & 2) {
                host.duringDrag = [&](std::string_view text, bool) {
                    dropRan = true;
                    c.DragEnter(stText, keys, dropX, dropY);
                    c.DragOver(keys, dropX, dropY);
                    dropped = c.Drop({stText, "", std::string(text), "", {}}, keys, dropX, dropY, true);
                    return dropped;
                };
            }
            c.ReadOnly = readOnly;
            // Press on the selection (its middle), then move.
            const std::int64_t middle = (c.SelStart() + c.SelEnd()) / 2;
            const std::int64_t line = c.LineOf(middle) - c.TopLine();
            const std::int64_t column = c.ColumnOf(middle) - c.LeftColumn();
            const int px = c.TextLeftEdge() + static_cast<int>(column) * 8 + 2;
            const int py = static_cast<int>(line) * 16 + 8;
            c.MouseDown(px, py, 0, now += 5000);
            c.MouseMove(px + 3, py, 0, true);
            c.MouseUp(px + 3, py, 0);
            c.ReadOnly = false;
            host.duringDrag = nullptr;
            const std::int64_t after = c.Store().CharCount();
            if (dropRan && dropped == DropEffect::deMove && after != before)
                Broken("moving the selection within the text changed its length", step);
            if (dropRan && dropped == DropEffect::deCopy && after != before + selected)
                Broken("copying the selection within the text did not add it once", step);
            if (dropRan && dropped == DropEffect::deNone && after != before)
                Broken("a refused drop changed the text", step);
            if (c.DropCaret() != -1) Broken("the drop caret is left after the drag", step);
            break;
        }
        }
        c.FlushChange();
        const std::string text = c.Text();
        if (Trace())
            std::fprintf(stderr, "step %d op %d: sel %lld..%lld text \"%s\"\n", step, op % 16,
                         static_cast<long long>(c.Anchor()), static_cast<long long>(c.Caret()), Escaped(text).c_str());
        if (text != model) Broken("the text differs from the reported changes", step);
        const std::int64_t size = c.Store().CharCount();
        if (c.SelStart() < 0 || c.SelEnd() > size) Broken("selection outside the text", step);
        std::int64_t offset = 0;
        for (const TLineRecord* r = c.Store().FirstLine(); r; r = c.Store().Next(r)) {
            if (c.Store().FromOffset(offset).record != r) Broken("a line is not found by its offset", step);
            offset += r->Length();
        }
        if (offset != size) Broken("line lengths do not add up", step);
    }
    if (undoKept && host.beeps == 0) {
        const std::string last = c.Text();
        int undone = 0;
        while (c.CanUndo()) {
            c.Undo();
            if (host.beeps != 0) Broken("undoing everything refused the log", -1);
            ++undone;
            if (Trace()) std::fprintf(stderr, "undo: \"%s\"\n", Escaped(c.Text()).c_str());
        }
        if (host.beeps == 0 && c.Text() != first) Broken("undoing everything does not give the first text", -1);
        // As many redo steps as were undone (steps undone before the end may still wait above).
        for (int i = 0; i < undone; ++i) {
            c.Redo();
            if (host.beeps != 0) Broken("redoing everything refused the log", -1);
            if (Trace()) std::fprintf(stderr, "redo: \"%s\"\n", Escaped(c.Text()).c_str());
        }
        if (host.beeps == 0 && c.Text() != last) Broken("redoing what was undone does not give the last text", -1);
    }
    c.SetParser(1, nullptr);
    return 0;
}
