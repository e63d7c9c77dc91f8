#include "editor/keywords.h"

#include <algorithm>

#include <cstring>

#include "base/ansi_text.h"

namespace tarnwick {

namespace {

bool Meets(const TStateSet& a, const TStateSet& b) { return a.Meets(b); }

}  // namespace

TKeywords::TKeywords()
{
    first_.fill(-1);
    groups_.Register(TSM_CharGroup());
}

TKeywords::~TKeywords() { FreeAll(); }

void TKeywords::FreeAll()
{
    if (onFreeEntry_)
        for (const KeywordEntry& e : entries_) onFreeEntry_(e);
    entries_.clear();
    nodes_.clear();
    first_.fill(-1);
}

void TKeywords::BuildChildIndex() const
{
    walk_.resize(nodes_.size());
    childChar_.clear();
    childNode_.clear();
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        walk_[n].firstEntry = nodes_[n].firstEntry;
        walk_[n].childBegin = static_cast<std::uint32_t>(childChar_.size());
        for (std::int32_t c = nodes_[n].child; c >= 0; c = nodes_[static_cast<std::size_t>(c)].sibling) {
            childChar_.push_back(nodes_[static_cast<std::size_t>(c)].ch);
            childNode_.push_back(c);
        }
        walk_[n].childEnd = static_cast<std::uint32_t>(childChar_.size());
    }
    entryAccepts_.assign(entries_.size(), ByteSet());
    for (std::size_t e = 0; e < entries_.size(); ++e) {
        const TSM_CharGroup& group = groups_.Get(entries_[e].group);
        for (unsigned c = 0; c < 256; ++c)
            if (group.IsEmpty() || group.Contains(static_cast<std::uint8_t>(c))) entryAccepts_[e].Include(c);
    }
    for (unsigned c = 0; c < 256; ++c) fold_[c] = Key(static_cast<char>(c));
    // The most line breaks along any path from a first character down.
    maxLineBreaks_ = 0;
    std::vector<std::pair<std::int32_t, int>> todo;
    for (const std::int32_t root : first_)
        if (root >= 0) todo.emplace_back(root, 0);
    while (!todo.empty()) {
        const auto [n, above] = todo.back();
        todo.pop_back();
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        const int here = above + (node.ch == '\r' ? 1 : 0);
        maxLineBreaks_ = std::max(maxLineBreaks_, here);
        for (std::int32_t c = node.child; c >= 0; c = nodes_[static_cast<std::size_t>(c)].sibling)
            todo.emplace_back(c, here);
    }
    indexValid_ = true;
}

void TKeywords::Clear()
{
    FreeAll();
    indexValid_ = false;
    allApplyValid_ = false;
    nodes_.shrink_to_fit();
    entries_.shrink_to_fit();
    groups_.Clear();
    groups_.Register(TSM_CharGroup());
}

void TKeywords::Add(std::string_view word, bool caseSensitive, std::int64_t data, const TStateSet& states,
                    const TSM_CharGroup& terminator)
{
    if (word.empty()) return;
    indexValid_ = false;
    allApplyValid_ = false;
    std::string key(word);
    if (!caseSensitive)
        for (char& c : key) c = AnsiLowerChar(c);

    // Follow the existing path first, so that a duplicate leaves the table untouched.
    std::int32_t node = first_[static_cast<std::uint8_t>(key[0])];
    std::size_t depth = 1;
    while (node >= 0 && depth < key.size()) {
        const auto ch = static_cast<std::uint8_t>(key[depth]);
        std::int32_t n = nodes_[static_cast<std::size_t>(node)].child;
        while (n >= 0 && nodes_[static_cast<std::size_t>(n)].ch < ch) n = nodes_[static_cast<std::size_t>(n)].sibling;
        if (n < 0 || nodes_[static_cast<std::size_t>(n)].ch != ch) {
            node = -1;
            break;
        }
        node = n;
        ++depth;
    }
    if (node >= 0 && depth == key.size())
        for (std::int32_t e = nodes_[static_cast<std::size_t>(node)].firstEntry; e >= 0;
             e = entries_[static_cast<std::size_t>(e)].next)
            if (Meets(entries_[static_cast<std::size_t>(e)].states, states))
                throw EKeywords("Duplicate keyword - '" + key + "'");

    const int group = groups_.Register(terminator);
    caseSensitive_ = caseSensitive;

    // Enter the characters level by level.
    auto newNode = [this](std::uint8_t ch, std::int32_t sibling) {
        Node n;
        n.ch = ch;
        n.sibling = sibling;
        nodes_.push_back(n);
        return static_cast<std::int32_t>(nodes_.size() - 1);
    };
    const auto c0 = static_cast<std::uint8_t>(key[0]);
    if (first_[c0] < 0) first_[c0] = newNode(c0, -1);
    node = first_[c0];
    nodes_[static_cast<std::size_t>(node)].states |= states;
    for (std::size_t i = 1; i < key.size(); ++i) {
        const auto ch = static_cast<std::uint8_t>(key[i]);
        // Find the place among the children, kept in ascending order.
        std::int32_t prev = -1;
        std::int32_t n = nodes_[static_cast<std::size_t>(node)].child;
        while (n >= 0 && nodes_[static_cast<std::size_t>(n)].ch < ch) {
            prev = n;
            n = nodes_[static_cast<std::size_t>(n)].sibling;
        }
        if (n < 0 || nodes_[static_cast<std::size_t>(n)].ch != ch) {
            const std::int32_t created = newNode(ch, n);
            if (prev < 0) nodes_[static_cast<std::size_t>(node)].child = created;
            else nodes_[static_cast<std::size_t>(prev)].sibling = created;
            n = created;
        }
        node = n;
        nodes_[static_cast<std::size_t>(node)].states |= states;
    }

    KeywordEntry entry;
    entry.states = states;
    entry.data = data;
    entry.group = group;
    entries_.push_back(entry);
    const auto index = static_cast<std::int32_t>(entries_.size() - 1);
    // Append at the end of the node's list: earlier entries are found first.
    std::int32_t* link = &nodes_[static_cast<std::size_t>(node)].firstEntry;
    while (*link >= 0) link = &entries_[static_cast<std::size_t>(*link)].next;
    *link = index;
}

bool TKeywords::ComputeAllApply() const
{
    allApply_ =
        std::all_of(nodes_.begin(), nodes_.end(), [&](const Node& n) { return Meets(n.states, currentStates_); }) &&
        std::all_of(entries_.begin(), entries_.end(),
                    [&](const KeywordEntry& e) { return Meets(e.states, currentStates_); });
    allApplyValid_ = true;
    return allApply_;
}

KeywordMatch TKeywords::Match(TEdStream& stream, bool forwards) const
{
    const TEdStream::Place start = stream.Save();
    // Words hardly ever run past the end of a line record: walk the record's characters
    // directly, and leave the rare walk that does to the stream.
    KeywordMatch best;
    if (!forwards || !start.record || stream.AtEnd() ||
        !MatchInRecord(reinterpret_cast<const std::uint8_t*>(start.record->Text()), start.inRecord,
                       start.record->Length(), best))
        return MatchByStream(stream, forwards);
    if (best.entry) {
        stream.Restore({start.record, start.inRecord + best.length, start.position + best.length});
    } else {
        stream.Restore(start);
        stream.NextChar();
    }
    return best;
}

KeywordMatch TKeywords::MatchByStream(TEdStream& stream, bool forwards) const
{
    if (!indexValid_) BuildChildIndex();
    const TEdStream::Place start = stream.Save();
    TEdStream::Place bestEnd = start;
    KeywordMatch best;
    if (!stream.AtEnd()) {
        std::int32_t node = first_[Key(stream.CurrentChar())];
        int depth = 0;
        while (node >= 0) {
            const Node& n = nodes_[static_cast<std::size_t>(node)];
            if (!Meets(n.states, currentStates_)) break;

            // Step over the character; the one now under the stream decides the terminator.
            bool boundary = false;
            if (forwards) {
                stream.NextChar();
            } else if (stream.GetPos() == 0) {
                boundary = true;  // nothing before the text
            } else {
                stream.PrevChar();
            }
            ++depth;
            const auto after = static_cast<std::uint8_t>(boundary ? '\0' : stream.CurrentChar());
            for (std::int32_t e = n.firstEntry; e >= 0; e = entries_[static_cast<std::size_t>(e)].next) {
                const KeywordEntry& entry = entries_[static_cast<std::size_t>(e)];
                if (!Meets(entry.states, currentStates_)) continue;
                if (entryAccepts_[static_cast<std::size_t>(e)].Contains(after)) {
                    best.entry = &entry;
                    best.length = depth;
                    bestEnd = stream.Save();
                    break;
                }
            }
            if (boundary || stream.AtEnd()) break;
            node = Child(node, Key(stream.CurrentChar()));
        }
    }

    if (best.entry) {
        // Backwards at offset 0 the walk stays put while the length counts the first character.
        if (forwards || bestEnd.position == start.position - best.length) stream.Restore(bestEnd);
        else stream.Seek(start.position - best.length, SeekOrigin::soFromBeginning);
    } else {
        stream.Restore(start);
        if (forwards) stream.NextChar();
        else stream.PrevChar();
    }
    return best;
}

// ---- TSyntaxKeywords

void TSyntaxKeywords::AddWord(std::string_view word, bool caseSensitive, std::int32_t token, const TStateSet& states,
                              const TSM_CharGroup& terminator)
{
    if (word.empty()) return;
    // The trie first: a duplicate must not leave the word in the list, where saving would write
    // a table that cannot be loaded again.
    Add(word, caseSensitive, token, states, terminator);
    words_.push_back({std::string(word), TEndStyleObject{terminator, token, states}});
}

void TSyntaxKeywords::Clear()
{
    TKeywords::Clear();
    words_.clear();
}

void TSyntaxKeywords::SaveToStream(TStream& stream) const
{
    WriteI32(stream, CaseSensitive() ? 1 : 0);
    WriteI32(stream, static_cast<std::int32_t>(words_.size()));
    for (const Word& w : words_) {
        WriteSStr(stream, w.text);
        w.style.terminator.SaveToStream(stream);
        WriteSet32(stream, w.style.states);
        WriteI32(stream, w.style.token);
    }
    WriteSStr(stream, "");
}

void TSyntaxKeywords::LoadFromStream(TStream& stream)
{
    // Smallest word in a stream: a one-character sstr, a group, a state set and a token value.
    constexpr std::size_t kMinWordSize = 2 + TSM_CharGroup::kMinStreamSize + 32 + 4;
    const bool caseSensitive = ReadI32(stream) != 0;
    const std::int32_t count = ReadCount(stream, kMinWordSize);

    // Read everything before touching the table.
    // The count only has to be plausible; the words run up to the empty string.
    (void)count;
    std::vector<Word> loaded;
    for (;;) {
        std::string text = ReadSStr(stream);
        if (text.empty()) break;
        Word w;
        w.text = std::move(text);
        w.style.terminator.LoadFromStream(stream);
        w.style.states = ReadSet32(stream);
        w.style.token = ReadI32(stream);
        loaded.push_back(std::move(w));
    }

    Clear();
    try {
        for (const Word& w : loaded) AddWord(w.text, caseSensitive, w.style.token, w.style.states, w.style.terminator);
    } catch (...) {
        Clear();
        throw;
    }
    // A table without words still carries its case flag.
    if (loaded.empty()) SetCaseFlag(caseSensitive);
}

}  // namespace tarnwick
