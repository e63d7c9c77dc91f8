#pragma once
// The re-highlighting pass: runs a highlighter over a text store from a start line and keeps one
// token value per character in each line record's attributes. The editor control runs it after
// every edit; command-line tools and tests run it over a whole text.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/text_store.h"
#include "highlight/parser.h"

namespace tarnwick {

struct HighlightPassOptions {
    // The pass may stop early at a line whose new token values and end state equal the old ones,
    // but only at or after the start line and once this many lines from the start line are done
    // (the control passes its visible lines + 2).
    std::int64_t minLines = 0;
    // Scan to the end of the text, never stopping early (a full re-highlight).
    bool all = false;
    // Run although the start line is neither stale nor marked for re-highlighting.
    bool force = false;
    // Once minLines are done, stop before a line that has no values at all (it has never been
    // coloured: the pass is left to continue from there when that line is wanted).
    bool stopBeforeUncoloured = false;
    // The control on whose behalf the pass runs (given to ScanToken), or null.
    ParserClient* sender = nullptr;
    // Called for every token with its value (which the handler may change) and its start and end
    // offsets; once before the first token with -1, -1, -1 and once after the pass with -2, -2, -2.
    std::function<void(int& value, std::int64_t start, std::int64_t end)> onTokenSeen;
    // Called while the highlighter is busy with another control's container; processes pending
    // work and returns false to give up. Without it a busy highlighter skips the pass.
    std::function<bool()> waitWhileBusy;
};

struct HighlightPassResult {
    bool ran = false;                 // false: nothing to do, highlighter busy or unusable
    std::int64_t restartOffset = -1;  // where scanning began
    std::int64_t firstLine = -1;      // first and last line whose values were written
    std::int64_t lastLine = -1;
    std::int64_t linesWritten = 0;
    bool stoppedEarly = false;  // stopped at an unchanged line before the end of the text
};

// Re-highlights from line `startLine`. Scanning restarts at the nearest earlier token whose value
// is a restart anchor of the highlighter (in the line before the start line or earlier), or at
// the start of the start line with state 0 when that line has no values yet. Lines that a token
// read before their end looked past (lfLooksPastEnd: a rule that reads across line ends and
// failed, a word holding line breaks) are no restart points, since an edit below them may change
// that token. Each line written gets its values, the scanner state at its end (StateOut, see
// ScanStateId), the repaint flag and lfLooksPastEnd as found, and loses its stale and
// re-highlight flags. The StateOut numbers belong to one highlighter:
// after switching highlighters, drop the attributes or run a full pass.
// A highlighter that uses custom matches runs only when its OnCustomParse is assigned.
HighlightPassResult RescanFrom(TTextStore& store, VOzuvavIdavParser& parser, std::int64_t startLine,
                               const HighlightPassOptions& options = {});

// Highlights a whole text: the text as the store keeps it (line breaks as CR) and one token value
// per character.
struct HighlightedText {
    std::string text;
    std::vector<std::uint8_t> values;
};
HighlightedText HighlightText(VOzuvavIdavParser& parser, std::string_view text);

}  // namespace tarnwick
