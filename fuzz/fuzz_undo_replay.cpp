// Runs a random sequence of edits, caret groups, undos, redos, size limits and save points over
// a document, and checks after every undo and redo that the text is exactly the one recorded
// for that point of the history.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/text_store.h"
#include "editor/undo_stack.h"

using namespace tarnwick;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool More() const { return at < size; }
    unsigned Byte() { return at < size ? data[at++] : 0; }
    std::int64_t Below(std::int64_t n) { return n <= 0 ? 0 : static_cast<std::int64_t>((Byte() << 8 | Byte()) % n); }
};

struct Doc : UndoTarget {
    TTextStore store;
    LogSelection sel;
    TUndoStack log;

    void ReplaceRange(std::int64_t start, std::int64_t end, std::string_view text) override
    {
        Check(start >= 0 && start <= end && end <= store.CharCount());
        if (end > start) store.Delete(start, end);
        if (!text.empty()) store.Insert(start, text);
    }
    void SetSelection(LogSelection selection) override { sel = selection; }
    bool Holds(std::int64_t start, std::int64_t end, std::string_view text) const override
    {
        return end <= store.CharCount() && store.TextRange(start, end) == text;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return 0;
    Input in{data, size};
    Doc d;
    int beeps = 0;
    d.log.Beep = [&] { ++beeps; };
    // history[i] is the text after i steps; `at` is the step the document is at.
    std::vector<std::string> history{""};
    std::size_t at = 0;
    bool limited = false;
    int groupDepth = 0;
    bool groupEdited = false;  // an edit was written inside the open group
    // The step at which the document was saved; -1 when never saved or no longer reachable.
    std::int64_t savedAt = -1;
    const auto newStep = [&] {
        history.resize(at + 1);
        if (savedAt > static_cast<std::int64_t>(at)) savedAt = -1;
        history.push_back(d.store.Text());
        ++at;
    };

    while (in.More()) {
        const unsigned op = in.Byte() % 8;
        const std::int64_t n = d.store.CharCount();
        switch (op) {
        case 0:
        case 1:
        case 2: {  // replace a random range with a random short text
            const std::int64_t a = in.Below(n + 1), b = in.Below(n + 1);
            std::string text;
            for (unsigned len = in.Byte() % 6; len > 0; --len) text += "ab\r \tZ"[in.Byte() % 6];
            const LogSelection before{a, b};
            const std::int64_t lo = std::min(a, b), hi = std::max(a, b);
            d.log.BeginTextTransaction(before, d.store.TextRange(lo, hi), text);
            d.ReplaceRange(lo, hi, text);
            const std::int64_t end = lo + static_cast<std::int64_t>(text.size());
            d.sel = {end, end};
            d.log.EndTransaction(kTransText, d.sel);
            if (groupDepth == 0) newStep();
            else groupEdited = true;
            break;
        }
        case 3:  // open or close a caret group around the following edits
            if (groupDepth == 0) {
                d.log.OpenCaretGroup(kFirstCaretGroup + 6, d.sel);
                groupDepth = 1;
                groupEdited = false;
            } else {
                d.log.CloseCaretGroup(kFirstCaretGroup + 6, d.sel);
                groupDepth = 0;
                // A group in which nothing was written is no step.
                if (groupEdited) newStep();
            }
            break;
        case 4:
        case 5:
            if (groupDepth) break;
            if (d.log.Undo(d)) {
                Check(at > 0);
                --at;
                if (!limited) Check(d.store.Text() == history[at]);
            } else if (!limited) {
                Check(at == 0 || beeps > 0);
            }
            break;
        case 6:
            if (groupDepth) break;
            if (d.log.Redo(d)) {
                Check(at + 1 < history.size());
                ++at;
                if (!limited) Check(d.store.Text() == history[at]);
            }
            break;
        case 7:
            switch (in.Byte() % 3) {
            case 0:
                if (groupDepth) break;
                d.log.MarkSaved();
                savedAt = static_cast<std::int64_t>(at);
                break;
            case 1:
                if (groupDepth) break;
                // Trimming drops the oldest steps: the model can no longer say where undo ends.
                d.log.SetSizeLimit(static_cast<std::int64_t>(in.Byte()) * 8);
                limited = true;
                break;
            default: break;
            }
            break;
        }
        if (!limited && groupDepth == 0 && savedAt >= 0)
            Check(d.log.Modified() == (static_cast<std::int64_t>(at) != savedAt));
        if (beeps > 0) return 0;  // a failed replay clears the log; the rest of the history is gone
        Check(d.log.Recording());
    }
    return 0;
}
