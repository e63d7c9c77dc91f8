#include "editor/key_bindings.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace tarnwick {

namespace {

std::string AmbiguousMessage(const std::string& newName, const std::string& oldName)
{
    return "Duplicate key sequence definition for\r\n\"" + newName + "\" and \"" + oldName + "\"";
}

}  // namespace

// ---- TKeyStore

void TKeyStore::Clear()
{
    index_.clear();
    root_.clear();
    current_ = nullptr;
    lastCommand_ = -1;
    searchIndex_ = -1;
}

TKeyNode* TKeyStore::Find(const TKeyNode* parent, std::uint16_t shortcut) const
{
    auto it = index_.find(NodeKey{parent, shortcut});
    return it == index_.end() ? nullptr : it->second;
}

TKeyNode* TKeyStore::Append(Level& level, TKeyNode* parent, std::uint16_t shortcut)
{
    auto node = std::make_unique<TKeyNode>();
    node->shortcut = shortcut;
    node->parent = parent;
    TKeyNode* added = node.get();
    level.push_back(std::move(node));
    index_.emplace(NodeKey{parent, shortcut}, added);
    return added;
}

std::string TKeyStore::NameFor(int command) const
{
    std::string name = owner_ ? owner_->CommandName(command) : std::string();
    // A command without a name (yet) is still told apart in the message.
    return name.empty() ? "command " + std::to_string(command) : name;
}

void TKeyStore::Ambiguous(int newCommand, int oldCommand) const
{
    throw EAmbigiousKeyPair(AmbiguousMessage(NameFor(newCommand), NameFor(oldCommand)));
}

void TKeyStore::AddBinding(std::uint16_t first, std::uint16_t second, int command)
{
    // Checked before anything changes. A binding to -1 would be a bound node without a command, and
    // a key of 0 would read back as "no binding" (a second key of 0 as a single-key binding).
    if (command < 0)
        throw EKeyControllerException("Invalid command id " + std::to_string(command) + " in a key binding");
    if (first == 0) throw EKeyControllerException("Key binding without a key");
    const std::uint16_t secondKey = ShortcutKey(second);
    if (second != 0 && secondKey == 0) throw EKeyControllerException("Second key of a key sequence without a key code");

    TKeyNode* node = Find(nullptr, first);
    if (!node) {
        node = Append(root_, nullptr, first);
    } else if (!node->children.empty() && second == 0) {
        Ambiguous(command, node->children.front()->command);
    }
    if (second != 0 && node->command == -1) {
        TKeyNode* child = Find(node, secondKey);
        if (!child) child = Append(node->children, node, secondKey);
        node = child;
    }
    // Either the node reached (single key or second key) or a first key bound alone, which cannot
    // start a sequence.
    if (node->command != -1) Ambiguous(command, node->command);
    node->bound = true;
    node->command = command;
}

KeyLookup TKeyStore::LookUp(std::uint16_t shortcut)
{
    TKeyNode* node;
    if (current_) {
        node = Find(current_, ShortcutKey(shortcut));
    } else {
        node = Find(nullptr, shortcut);
    }
    if (!node) {
        current_ = nullptr;
        return KeyLookup::klNotFound;
    }
    if (!node->children.empty()) {
        current_ = node;
        return KeyLookup::klPrefix;
    }
    lastCommand_ = node->command;
    current_ = nullptr;
    return KeyLookup::klRecognised;
}

template <class Visit>
bool TKeyStore::Walk(const Level& level, Visit& visit) const
{
    for (const auto& node : level)
        if (visit(*node)) return true;
    for (const auto& node : level)
        if (!node->children.empty() && Walk(node->children, visit)) return true;
    return false;
}

bool TKeyStore::FindBinding(int command, std::uint16_t& first, std::uint16_t& second)
{
    first = second = 0;
    int count = -1;
    const TKeyNode* found = nullptr;
    auto visit = [&](const TKeyNode& node) {
        ++count;
        if (count > searchIndex_ && node.bound && node.command == command) {
            found = &node;
            return true;
        }
        return false;
    };
    if (!Walk(root_, visit)) return false;
    searchIndex_ = count;
    if (found->parent) {
        first = found->parent->shortcut;
        second = found->shortcut;
    } else {
        first = found->shortcut;
    }
    return true;
}

int TKeyStore::BindingCount() const
{
    int count = 0;
    auto visit = [&](const TKeyNode& node) {
        count += node.bound ? 1 : 0;
        return false;
    };
    Walk(root_, visit);
    return count;
}

std::vector<KeyBinding> TKeyStore::Bindings() const
{
    std::vector<KeyBinding> list;
    auto visit = [&](const TKeyNode& node) {
        if (node.bound) {
            if (node.parent) list.push_back({node.parent->shortcut, node.shortcut, node.command});
            else list.push_back({node.shortcut, 0, node.command});
        }
        return false;
    };
    Walk(root_, visit);
    return list;
}

void TKeyStore::SaveToStream(TStream& stream) const
{
    const std::vector<KeyBinding> list = Bindings();
    WriteI32(stream, static_cast<std::int32_t>(list.size()));
    for (const KeyBinding& b : list) {
        WriteU16(stream, b.first);
        WriteU16(stream, b.second);
        WriteI32(stream, b.command);
    }
}

void TKeyStore::LoadFromStream(TStream& stream)
{
    TKeyStore loaded(owner_);
    const std::int32_t count = ReadCount(stream, 2 + 2 + 4);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint16_t first = ReadU16(stream);
        const std::uint16_t second = ReadU16(stream);
        const std::int32_t command = ReadI32(stream);
        loaded.AddBinding(first, second, command);
    }
    Swap(loaded);
}

void TKeyStore::Swap(TKeyStore& other) noexcept
{
    root_.swap(other.root_);
    index_.swap(other.index_);
    std::swap(lastCommand_, other.lastCommand_);
    current_ = other.current_ = nullptr;
    searchIndex_ = other.searchIndex_ = -1;
}

// ---- TKeyboardActionContoller

void TKeyboardActionContoller::Clear()
{
    keys_.Clear();
    names_.clear();
    nameIndex_.clear();
}

void TKeyboardActionContoller::AddBinding(std::uint16_t first, std::uint16_t second, int id)
{
    keys_.AddBinding(first, second, id);
}

void TKeyboardActionContoller::SetCommandName(int id, std::string_view name)
{
    if (name.size() > 255)
        throw EKeyControllerException("Command name too long (" + std::to_string(name.size()) +
                                      " characters, at most 255)");
    if (auto it = nameIndex_.find(id); it != nameIndex_.end()) {
        names_.erase(it->second);
        nameIndex_.erase(it);
    }
    names_.push_back(CommandNameEntry{id, std::string(name)});
    nameIndex_.emplace(id, std::prev(names_.end()));
}

std::string TKeyboardActionContoller::CommandName(int id) const
{
    // Setting a name removes the older entry of the id, so there is at most one.
    auto it = nameIndex_.find(id);
    return it == nameIndex_.end() ? std::string() : it->second->name;
}

std::pair<std::uint16_t, std::uint16_t> TKeyboardActionContoller::FirstBinding(int id)
{
    keys_.ResetSearch();
    return NextBinding(id);
}

std::pair<std::uint16_t, std::uint16_t> TKeyboardActionContoller::NextBinding(int id)
{
    std::uint16_t first = 0, second = 0;
    keys_.FindBinding(id, first, second);
    return {first, second};
}

bool TKeyboardActionContoller::HandleKey(std::uint16_t& key, std::uint16_t& shift)
{
    const std::uint16_t shortcut = MakeShortcut(key, shift);
    // No binding has the key 0, so the lookup finds nothing and ends a sequence in progress.
    const KeyLookup found = keys_.LookUp(shortcut);
    if (found == KeyLookup::klNotFound) return false;
    key = 0;
    shift = 0;
    if (found == KeyLookup::klRecognised) {
        int code = keys_.LastCommand();
        if (OnCommand) {
            // A copy: the handler may replace or drop the controller's event while it runs.
            const TKeyboardActionEvent handler = OnCommand;
            handler(*this, code);
            keys_.SetLastCommand(code);
        }
    }
    return true;
}

void TKeyboardActionContoller::Assign(const TKeyboardActionContoller* source)
{
    if (!source) throw Exception("Cannot assign a nil to a " + ClassName());
    TMemoryStream stream;
    source->SaveToStream(stream);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TKeyboardActionContoller::SaveToStream(TStream& stream) const
{
    WriteI32(stream, static_cast<std::int32_t>(names_.size()));
    for (const CommandNameEntry& entry : names_) {
        WriteI32(stream, entry.id);
        WriteSStr(stream, entry.name);
    }
    keys_.SaveToStream(stream);
}

void TKeyboardActionContoller::LoadFromStream(TStream& stream)
{
    // Read into a fresh controller, so that the conflict messages name the commands by their new
    // names and a bad stream leaves this one as it was.
    TKeyboardActionContoller loaded;
    const std::int32_t count = ReadCount(stream, 4 + 1);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t id = ReadI32(stream);
        loaded.SetCommandName(id, ReadSStr(stream));
    }
    loaded.keys_.LoadFromStream(stream);

    keys_.Swap(loaded.keys_);
    names_.swap(loaded.names_);
    nameIndex_.swap(loaded.nameIndex_);
}

// ---- editor commands and their default keys

namespace {

constexpr std::array<std::string_view, kEditorCommandCount> kCommandNames = {
    "Cursor left",
    "Cursor right",
    "Line start",
    "Line end",
    "Up one line",
    "Down one line",
    "Up one page",
    "Down one page",
    "Move to word before",
    "Move to word after",
    "Document start",
    "Document end",
    "Cut to clipboard",
    "Copy to clipboard",
    "Paste from clipboard",
    "Delete character at cursor",
    "Delete character before caret",
    "Indent selected block",
    "Un-indent selected block",
    "Toggle insert/overwrite mode",
    "Set Bookmark 0",
    "Set Bookmark 1",
    "Set Bookmark 2",
    "Set Bookmark 3",
    "Set Bookmark 4",
    "Set Bookmark 5",
    "Set Bookmark 6",
    "Set Bookmark 7",
    "Set Bookmark 8",
    "Set Bookmark 9",
    "Goto Bookmark 0",
    "Goto Bookmark 1",
    "Goto Bookmark 2",
    "Goto Bookmark 3",
    "Goto Bookmark 4",
    "Goto Bookmark 5",
    "Goto Bookmark 6",
    "Goto Bookmark 7",
    "Goto Bookmark 8",
    "Goto Bookmark 9",
    "Delete current line",
    "Undo",
    "Redo",
    "Delete previous word",
    "Print selection",
    "Delete next word",
    "Scroll display up one line",
    "Scroll display down one line",
};

struct DefaultKey {
    std::uint16_t first;
    std::uint16_t second;
};

constexpr std::uint16_t kCtrlK = scCtrl | 'K';
constexpr std::uint16_t kCtrlQ = scCtrl | 'Q';

// The default keys of each command, by id.
constexpr std::array<DefaultKey, kEditorCommandCount> kDefaultKeys = [] {
    std::array<DefaultKey, kEditorCommandCount> t{};
    t[0] = {vkLeft, 0};
    t[1] = {vkRight, 0};
    t[2] = {vkHome, 0};
    t[3] = {vkEnd, 0};
    t[4] = {vkUp, 0};
    t[5] = {vkDown, 0};
    t[6] = {vkPrior, 0};
    t[7] = {vkNext, 0};
    t[8] = {scCtrl | vkLeft, 0};
    t[9] = {scCtrl | vkRight, 0};
    t[10] = {scCtrl | vkHome, 0};
    t[11] = {scCtrl | vkEnd, 0};
    t[12] = {scCtrl | 'X', 0};
    t[13] = {scCtrl | 'C', 0};
    t[14] = {scCtrl | 'V', 0};
    t[15] = {vkDelete, 0};
    t[16] = {vkBack, 0};
    t[17] = {kCtrlK, 'I'};
    t[18] = {kCtrlK, 'U'};
    t[19] = {vkInsert, 0};
    for (int n = 0; n < 10; ++n) {
        t[20 + n] = {kCtrlK, static_cast<std::uint16_t>('0' + n)};
        t[30 + n] = {kCtrlQ, static_cast<std::uint16_t>('0' + n)};
    }
    t[40] = {scCtrl | 'Y', 0};
    t[41] = {scCtrl | 'Z', 0};
    t[42] = {scShift | scCtrl | 'Z', 0};
    t[43] = {scCtrl | vkBack, 0};
    t[44] = {kCtrlK, 'P'};
    t[45] = {scCtrl | vkDelete, 0};
    t[46] = {scCtrl | vkUp, 0};
    t[47] = {scCtrl | vkDown, 0};
    return t;
}();

}  // namespace

std::string_view EditorCommandName(int id)
{
    return id >= 0 && id < kEditorCommandCount ? kCommandNames[static_cast<std::size_t>(id)] : std::string_view();
}

void LoadDefaultKeyBindings(TKeyboardActionContoller& controller)
{
    controller.Clear();
    for (int id = 0; id < kEditorCommandCount; ++id) controller.SetCommandName(id, kCommandNames[id]);
    // The two Ctrl+ editing keys come first, then the rest in id order.
    auto add = [&](int id) { controller.AddBinding(kDefaultKeys[id].first, kDefaultKeys[id].second, id); };
    add(43);
    add(45);
    for (int id = 0; id < kEditorCommandCount; ++id)
        if (id != 43 && id != 45) add(id);
}

const TKeyboardActionContoller& DefaultKeyboardController()
{
    static const std::unique_ptr<TKeyboardActionContoller> controller = [] {
        auto c = std::make_unique<TKeyboardActionContoller>();
        LoadDefaultKeyBindings(*c);
        return c;
    }();
    return *controller;
}

// ---- key names

namespace {

// Sorted by name, byte by byte.
constexpr KeyName kKeyNames[] = {
    {"backspace", vkBack}, {"delete", vkDelete}, {"down", vkDown},     {"end", vkEnd},     {"f1", 112},
    {"f10", 121},          {"f11", 122},         {"f12", 123},         {"f2", 113},        {"f3", 114},
    {"f4", 115},           {"f5", 116},          {"f6", 117},          {"f7", 118},        {"f8", 119},
    {"f9", 120},           {"home", vkHome},     {"insert", vkInsert}, {"left", vkLeft},   {"pagedown", vkNext},
    {"pageup", vkPrior},   {"return", vkReturn}, {"right", vkRight},   {"space", vkSpace}, {"tab", vkTab},
    {"up", vkUp},
};

static_assert(std::is_sorted(std::begin(kKeyNames), std::end(kKeyNames),
                             [](const KeyName& a, const KeyName& b) { return a.name < b.name; }));

}  // namespace

std::span<const KeyName> KeyNames() { return kKeyNames; }

int KeyNameToVirtualKey(std::string_view lowerName)
{
    std::string folded(lowerName);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    auto it = std::lower_bound(std::begin(kKeyNames), std::end(kKeyNames), folded,
                               [](const KeyName& entry, const std::string& name) { return entry.name < name; });
    return it != std::end(kKeyNames) && it->name == folded ? it->key : 0;
}

}  // namespace tarnwick
