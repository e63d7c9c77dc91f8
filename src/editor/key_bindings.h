#pragma once
// Key bindings of the editor: the keyboard controller that turns key presses into numbered editor
// commands, the tree of key sequences it looks them up in, the names and default keys of the 48
// editor commands, and the key names used by key specifiers.
//
// A key combination (shortcut) is a 16-bit value: the virtual-key code in the low byte, plus
// scShift, scCtrl and scAlt. 0 is no key. The user interface translates its own key events into
// this form; nothing here knows about a windowing toolkit.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "editor/editor_errors.h"
#include "editor/streams.h"

namespace tarnwick {

// ---- key combinations

inline constexpr std::uint16_t scShift = 0x2000;
inline constexpr std::uint16_t scCtrl = 0x4000;
inline constexpr std::uint16_t scAlt = 0x8000;
inline constexpr std::uint16_t scModifiers = scShift | scCtrl | scAlt;

// The Windows virtual-key codes the editor names. (Not called VK_... so that they cannot clash
// with the macros of the Windows headers.) Letters and digits are their upper-case ASCII codes.
inline constexpr std::uint16_t vkBack = 8;
inline constexpr std::uint16_t vkTab = 9;
inline constexpr std::uint16_t vkReturn = 13;
inline constexpr std::uint16_t vkSpace = 32;
inline constexpr std::uint16_t vkPrior = 33;  // Page Up
inline constexpr std::uint16_t vkNext = 34;   // Page Down
inline constexpr std::uint16_t vkEnd = 35;
inline constexpr std::uint16_t vkHome = 36;
inline constexpr std::uint16_t vkLeft = 37;
inline constexpr std::uint16_t vkUp = 38;
inline constexpr std::uint16_t vkRight = 39;
inline constexpr std::uint16_t vkDown = 40;
inline constexpr std::uint16_t vkInsert = 45;
inline constexpr std::uint16_t vkDelete = 46;
inline constexpr std::uint16_t vkF1 = 112;
inline constexpr std::uint16_t vkF12 = 123;

// The key combination of a virtual key and modifier bits (scShift, scCtrl, scAlt; other bits of
// `shift` are ignored). A key code above 0xFF is no virtual key and gives 0.
constexpr std::uint16_t MakeShortcut(std::uint16_t key, std::uint16_t shift)
{
    return key > 0xFF ? 0 : static_cast<std::uint16_t>(key | (shift & scModifiers));
}

// The combination without its modifiers.
constexpr std::uint16_t ShortcutKey(std::uint16_t shortcut)
{
    return static_cast<std::uint16_t>(shortcut & ~scModifiers);
}

// ---- the tree of key sequences

class TKeyboardActionContoller;

// One key of a sequence. The first level holds the first keys; under a first key that starts
// two-key sequences lie the second keys, stored without modifiers. The nodes of one level are kept
// in the order they were added (the "next sibling" order).
struct TKeyNode {
    std::uint16_t shortcut = 0;
    TKeyNode* parent = nullptr;  // the first-key node a second-key node follows; null on the first level
    std::vector<std::unique_ptr<TKeyNode>> children;  // the second-key level under this node
    bool bound = false;                               // a binding ends here
    int command = -1;                                 // command id bound here; -1 when none
};

// One binding as the enumeration and the stream give it: (first, 0) for a single key.
struct KeyBinding {
    std::uint16_t first = 0;
    std::uint16_t second = 0;
    int command = -1;

    bool operator==(const KeyBinding&) const = default;
};

enum class KeyLookup { klNotFound, klPrefix, klRecognised };

class TKeyStore {
public:
    // `owner` gives the command names for conflict messages; it may be null.
    explicit TKeyStore(const TKeyboardActionContoller* owner = nullptr) : owner_(owner) {}
    TKeyStore(const TKeyStore&) = delete;
    TKeyStore& operator=(const TKeyStore&) = delete;

    // Removes every node and starts over at the root.
    void Clear();
    // The next key is looked up on the first level again.
    void Reset() { current_ = nullptr; }

    // Adds the binding of `first` (then `second`, when not 0) to `command`. Raises
    // EAmbigiousKeyPair, naming the new command and the one in the way, when the sequence collides
    // with an existing one: the same keys, a single key where sequences start, or a sequence after
    // a key bound alone. Raises EKeyControllerException for a negative command id, a first key of 0
    // or a second key without a key code (those could not be told apart from "no binding"). A
    // binding that raises changes nothing.
    void AddBinding(std::uint16_t first, std::uint16_t second, int command);

    // Looks `shortcut` up in the current level (modifiers dropped on a second-key level). Not found
    // and recognised go back to the first level; prefix moves down to the node's second keys.
    // Recognised leaves the command id in LastCommand().
    KeyLookup LookUp(std::uint16_t shortcut);
    int LastCommand() const { return lastCommand_; }
    void SetLastCommand(int command) { lastCommand_ = command; }
    // True while the previous key started a sequence and the next one is taken as its second key.
    bool InSequence() const { return current_ != nullptr; }

    // Enumerates the bindings of `command`: the next bound node of that command after the search
    // index, in binding order. Returns false, and (0, 0), when there is none. ResetSearch() starts
    // the enumeration over.
    bool FindBinding(int command, std::uint16_t& first, std::uint16_t& second);
    void ResetSearch() { searchIndex_ = -1; }

    // The number of nodes where a binding ends.
    int BindingCount() const;
    // Every binding in binding order: depth first, each node before its siblings and its siblings
    // before their children. That is, the nodes of a level in the order they were added, then the
    // levels under them one after the other in the same order (all single keys, then the second
    // keys of the first sequence key, then those of the next). Saving writes this order, so a
    // saved and reloaded store enumerates the same way.
    std::vector<KeyBinding> Bindings() const;

    // 32-bit count, then per binding: 16-bit first key, 16-bit second key, 32-bit command id.
    void SaveToStream(TStream& stream) const;
    // Replaces the bindings with those of the stream. On an error (a short or malformed stream,
    // a conflicting pair) the exception is raised and the store keeps what it held.
    void LoadFromStream(TStream& stream);

    // Exchanges the bindings (not the owner) with `other`; both start over at the root.
    void Swap(TKeyStore& other) noexcept;

private:
    using Level = std::vector<std::unique_ptr<TKeyNode>>;

    TKeyNode* Find(const TKeyNode* parent, std::uint16_t shortcut) const;
    TKeyNode* Append(Level& level, TKeyNode* parent, std::uint16_t shortcut);
    std::string NameFor(int command) const;
    [[noreturn]] void Ambiguous(int newCommand, int oldCommand) const;
    // Calls visit(node) for every node in binding order; stops when it returns true.
    template <class Visit>
    bool Walk(const Level& level, Visit& visit) const;

    const TKeyboardActionContoller* owner_;
    Level root_;
    // Lookup of a node by (parent, shortcut): the levels can be large when read from a stream.
    struct NodeKey {
        const TKeyNode* parent;
        std::uint16_t shortcut;
        bool operator==(const NodeKey&) const = default;
    };
    struct NodeKeyHash {
        std::size_t operator()(const NodeKey& k) const noexcept
        {
            return std::hash<const void*>()(k.parent) * 31u + k.shortcut;
        }
    };
    std::unordered_map<NodeKey, TKeyNode*, NodeKeyHash> index_;
    TKeyNode* current_ = nullptr;  // node whose children are the current level; null: the first level
    int lastCommand_ = -1;
    int searchIndex_ = -1;
};

// ---- the controller

// A command name entry: the command id and its display name.
struct CommandNameEntry {
    int id = 0;
    std::string name;

    bool operator==(const CommandNameEntry&) const = default;
};

class TKeyboardActionContoller {
public:
    // Called with the sender and the recognised command id; the handler may change the id.
    using TKeyboardActionEvent = std::function<void(TKeyboardActionContoller& sender, int& ActionCode)>;

    TKeyboardActionContoller() = default;
    // The key store points back at its controller: copy with Assign.
    TKeyboardActionContoller(const TKeyboardActionContoller&) = delete;
    TKeyboardActionContoller& operator=(const TKeyboardActionContoller&) = delete;

    std::string ClassName() const { return "TKeyboardActionContoller"; }

    // Removes every binding and every name.
    void Clear();
    // See TKeyStore::AddBinding.
    void AddBinding(std::uint16_t first, std::uint16_t second, int id);

    // Replaces the name of `id` (the entry moves to the end). Names longer than 255 characters do
    // not fit the stream and raise EKeyControllerException.
    void SetCommandName(int id, std::string_view name);
    // The name of `id`, or the empty string.
    std::string CommandName(int id) const;
    // The names in the order they were set.
    std::vector<CommandNameEntry> CommandNames() const { return {names_.begin(), names_.end()}; }

    // The keys (first, second) of the first binding of `id`, then of each further one; (0, 0) when
    // there is none (more).
    std::pair<std::uint16_t, std::uint16_t> FirstBinding(int id);
    std::pair<std::uint16_t, std::uint16_t> NextBinding(int id);

    // The key-press entry of the editor control. `key` is the virtual-key code, `shift` the
    // modifier bits (scShift, scCtrl, scAlt). Returns true when the press was consumed: it started
    // a key sequence (nothing else happens) or completed a binding (OnCommand is fired with the
    // command id, and LastCommand() holds the id as the handler left it); `key` and `shift` are
    // then set to 0. Returns false, and leaves both as they were, when the press matches nothing:
    // the control processes it as an ordinary key, and a sequence in progress is abandoned. Presses
    // of Shift, Ctrl or Alt alone are not key presses here: the caller leaves them out, or they
    // would end a sequence in progress.
    bool HandleKey(std::uint16_t& key, std::uint16_t& shift);
    int LastCommand() const { return keys_.LastCommand(); }

    // Copies `source` through a memory stream (names and bindings; not the event and the flags).
    // Raises Exception "Cannot assign a nil to a TKeyboardActionContoller" when it is null.
    void Assign(const TKeyboardActionContoller* source);

    // Names: 32-bit count, then per name 32-bit id, 8-bit length, characters; then the bindings
    // as TKeyStore writes them.
    void SaveToStream(TStream& stream) const;
    // Replaces names and bindings with those of the stream, in stream order. On an error the
    // exception is raised and the controller keeps what it held.
    void LoadFromStream(TStream& stream);

    TKeyStore& KeyStore() { return keys_; }
    const TKeyStore& KeyStore() const { return keys_; }

    TKeyboardActionEvent OnCommand;
    // Two switches kept for the owner; they change nothing here and are not streamed.
    bool Flag1 = false;
    bool Flag2 = false;

private:
    TKeyStore keys_{this};
    std::list<CommandNameEntry> names_;
    std::unordered_map<int, std::list<CommandNameEntry>::iterator> nameIndex_;
};

// ---- editor commands and their default keys

inline constexpr int kEditorCommandCount = 48;

// The display name of editor command `id` (0..47), or the empty string.
std::string_view EditorCommandName(int id);

// Clears `controller` and fills it with the names of the 48 editor commands and their default
// bindings.
void LoadDefaultKeyBindings(TKeyboardActionContoller& controller);

// The default controller, built on first use. Every editor's settings start as a copy of it.
const TKeyboardActionContoller& DefaultKeyboardController();

// ---- key names

struct KeyName {
    std::string_view name;
    std::uint16_t key;
};

// The key names of key specifiers ("backspace", "f1", "pagedown", ...), sorted by name.
std::span<const KeyName> KeyNames();
// The virtual-key code of a key name (ASCII case ignored), 0 when there is no such name.
int KeyNameToVirtualKey(std::string_view lowerName);

}  // namespace tarnwick
