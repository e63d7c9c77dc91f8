#include "highlight/word_store.h"

namespace tarnwick {

TWordStore::TWordStore() { first_.fill(-1); }

void TWordStore::Clear()
{
    first_.fill(-1);
    nodes_.clear();
    words_ = 0;
}

TWordStore::Node& TWordStore::Enter(std::string_view word)
{
    // The level's first node is first_[c] on the first level, else the child of `parent`. Links
    // are indexes, not pointers: appending a node may move the others.
    std::int32_t parent = -1;
    const auto head = [&]() -> std::int32_t& {
        return parent < 0 ? first_[static_cast<unsigned char>(Lower(word[0]))]
                          : nodes_[static_cast<std::size_t>(parent)].child;
    };
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = Lower(word[i]);
        std::int32_t n = head();
        std::int32_t last = -1;
        while (n >= 0 && nodes_[static_cast<std::size_t>(n)].ch != c) {
            last = n;
            n = nodes_[static_cast<std::size_t>(n)].sibling;
        }
        if (n < 0) {
            Node fresh;
            fresh.ch = c;
            nodes_.push_back(std::move(fresh));
            n = static_cast<std::int32_t>(nodes_.size() - 1);
            if (last >= 0) nodes_[static_cast<std::size_t>(last)].sibling = n;
            else head() = n;
        }
        parent = n;
    }
    Node& end = nodes_[static_cast<std::size_t>(parent)];
    if (!end.end) ++words_;
    end.end = true;
    return end;
}

void TWordStore::AddToken(std::string_view word, std::int32_t token)
{
    if (word.empty()) return;
    Enter(word).token = token;
}

void TWordStore::AddValue(std::string_view word, std::string_view value)
{
    if (word.empty()) return;
    Enter(word).value = std::string(value);
}

const TWordStore::Node* TWordStore::Find(std::string_view word) const
{
    if (word.empty()) return nullptr;
    std::int32_t n = first_[static_cast<unsigned char>(Lower(word[0]))];
    for (std::size_t i = 0;; ++i) {
        const char c = Lower(word[i]);
        while (n >= 0 && nodes_[static_cast<std::size_t>(n)].ch != c) n = nodes_[static_cast<std::size_t>(n)].sibling;
        if (n < 0) return nullptr;
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        if (i + 1 == word.size()) return node.end ? &node : nullptr;
        n = node.child;
    }
}

std::size_t TWordStore::LongestMatch(std::string_view text, const Node*& found) const
{
    found = nullptr;
    if (text.empty()) return 0;
    std::size_t best = 0;
    std::int32_t n = first_[static_cast<unsigned char>(Lower(text[0]))];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = Lower(text[i]);
        while (n >= 0 && nodes_[static_cast<std::size_t>(n)].ch != c) n = nodes_[static_cast<std::size_t>(n)].sibling;
        if (n < 0) break;
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        if (node.end) {
            const bool next = i + 1 < text.size() && IsIdentChar(static_cast<unsigned char>(text[i + 1]));
            if (!(next && IsIdentChar(static_cast<unsigned char>(text[i])))) {
                best = i + 1;
                found = &node;
            }
        }
        n = node.child;
    }
    return best;
}

}  // namespace tarnwick
