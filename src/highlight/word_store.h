#pragma once
// TWordStore: a case-insensitive character tree of words, each carrying a token number or a
// value text. The script compiler keeps two: its macros (name -> replacement text) and its
// reserved words (word -> token number).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TWordStore {
public:
    struct Node {
        char ch = 0;  // lower case
        std::int32_t sibling = -1;
        std::int32_t child = -1;
        bool end = false;         // a word ends here
        std::int32_t token = -1;  // token number, -1 when none
        std::string value;        // value text
    };

    TWordStore();

    // Enters `word` (lower-cased) and sets its token number; a later add replaces it. An empty
    // word is ignored.
    void AddToken(std::string_view word, std::int32_t token);
    // Enters `word` (lower-cased) with its value text; a later add replaces the value.
    void AddValue(std::string_view word, std::string_view value);
    // The node where `word` ends (ignoring case), or null when it is not stored.
    const Node* Find(std::string_view word) const;
    bool Contains(std::string_view word) const { return Find(word) != nullptr; }

    // The longest stored word at the start of `text` (ignoring case) whose last character and the
    // character after it in `text` are not both identifier characters (letters, digits, '_').
    // Returns its length (0 when none) and its node in `node`.
    std::size_t LongestMatch(std::string_view text, const Node*& node) const;

    void Clear();
    std::size_t WordCount() const { return words_; }

    static bool IsIdentChar(unsigned char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    }
    static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

private:
    Node& Enter(std::string_view word);

    std::array<std::int32_t, 256> first_;
    std::vector<Node> nodes_;
    std::size_t words_ = 0;
};

}  // namespace tarnwick
