#pragma once
// Cutting an editor's text into printed pages. A logical line (the text between two line breaks,
// whatever records word wrap made of it) prints as one piece, or, with wrapping, as pieces of at
// most the line capacity; a page holds as many pieces as rows fit its text area. Where every page
// starts (the logical line and the piece) is kept once found, so that drawing page n walks only
// page n, not the n - 1 pages before it.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/tab_stops.h"
#include "editor/text_store.h"

namespace tarnwick::ui {

// Where a page (or a piece) starts.
struct PageStart {
    std::int64_t record = 0;   // index of the first record of the logical line
    std::int64_t logical = 0;  // 0-based number of the logical line
    std::int32_t offset = 0;   // first character of the piece within the logical line
    bool operator==(const PageStart&) const = default;
};

// How lines are cut into pieces.
struct PieceRule {
    bool wrap = false;      // smoPrintWrap
    std::int64_t capacity;  // characters per piece (at least 1)
    TabRule tabs;
    std::int32_t tabDefault = 4;
};

// The length of the first piece of `rest` (at least 1 when `rest` is not empty): the whole of it
// without wrapping or when it fits; otherwise cut at the last blank (a character up to code 32)
// before the capacity, the blanks after the cut going with the first piece, or at the capacity
// when there is no blank. A text with tabs is measured with tab expansion up to the capacity
// less the default tab width and then cut back to its last blank.
std::size_t FirstPieceLength(std::string_view rest, const PieceRule& rule);

// One piece handed to the drawing side of a page walk.
struct PrintedPiece {
    std::string_view text;           // without the line break
    const std::uint8_t* attributes;  // one token value per character, or null
    std::int64_t logical;            // 0-based number of its logical line
    bool first;                      // the first piece of its logical line
    int row;                         // 0-based row on the page
};

class PageWalker {
public:
    // Pages over the logical lines [firstLogical, lastLogical] (lastLogical -1: to the end) of
    // `store`. `colour` is asked to colour the records from a given index on when one to be drawn
    // has no attributes yet (null: draw what there is).
    PageWalker(const TTextStore& store, PieceRule rule, std::int64_t firstLogical, std::int64_t lastLogical,
               std::function<void(std::int64_t record)> colour = {});

    void SetCapacity(std::int64_t capacity) { rule_.capacity = std::max<std::int64_t>(1, capacity); }
    // The start of the first page; none when there is nothing to print.
    std::optional<PageStart> Begin() const;
    // Walks one page of `rows` rows from `from`, handing each piece to `draw` (when set). Returns
    // the start of the next page, or none when the text ends on this page.
    std::optional<PageStart> Walk(const PageStart& from, int rows,
                                  const std::function<void(const PrintedPiece&)>& draw) const;

private:
    // The logical line starting at record `record` (`r`): its text and, when asked, its
    // attributes (joined when it spans records). Returns the index of the record after it and
    // leaves `r` there (null at the end).
    std::int64_t Gather(std::int64_t record, const TLineRecord*& r, bool attributes, std::string_view& text,
                        const std::uint8_t*& attrs) const;
    bool InRange(std::int64_t record, std::int64_t logical) const;

    const TTextStore& store_;
    PieceRule rule_;
    std::int64_t firstLogical_;
    std::int64_t lastLogical_;
    std::function<void(std::int64_t)> colour_;
    mutable std::string joined_;
    mutable std::vector<std::uint8_t> joinedAttributes_;
};

// The starts of the pages found so far for one layout, valid while its key holds.
class PageIndex {
public:
    // Forgets the pages when the key differs from the one they were found under.
    void Check(const std::string& key);
    // Starts of pages 1.. found so far; `complete` once the last page is known.
    std::vector<PageStart> starts;
    bool complete = false;

private:
    std::string key_;
};

}  // namespace tarnwick::ui
