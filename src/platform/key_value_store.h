#pragma once
// A store of named values under hierarchical keys, in place of the registry: keys are paths such
// as "Software\Corvanti\Tarnwick\EditorOptions" (backslash-separated, as on Windows), each holding
// text and binary values by name. The ui implements it on QSettings; tests and command-line tools
// use MemoryKeyValueStore.

#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

class KeyValueStore {
public:
    enum class ValueKind { vkText, vkBinary };

    virtual ~KeyValueStore() = default;

    // Whether the key exists (has been created or holds values).
    virtual bool KeyExists(std::string_view key) const = 0;
    // The bytes of a value, text or binary; nothing when the key or the value does not exist.
    virtual std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const = 0;
    // Creates the key when needed and writes the value. Raises Exception when the store refuses.
    virtual void WriteText(std::string_view key, std::string_view name, std::string_view value) = 0;
    virtual void WriteBinary(std::string_view key, std::string_view name, std::string_view value) = 0;
    // Removes the key with all its values and subkeys; nothing happens when it does not exist.
    // Raises Exception when the store refuses.
    virtual void DeleteKey(std::string_view key) = 0;
};

// Keeps everything in memory; keys compare exactly.
class MemoryKeyValueStore : public KeyValueStore {
public:
    struct Value {
        ValueKind kind = ValueKind::vkText;
        std::string bytes;
    };

    bool KeyExists(std::string_view key) const override { return keys_.count(std::string(key)) != 0; }
    std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const override
    {
        const Value* v = Find(key, name);
        if (!v) return std::nullopt;
        return v->bytes;
    }
    void WriteText(std::string_view key, std::string_view name, std::string_view value) override
    {
        keys_[std::string(key)][std::string(name)] = Value{ValueKind::vkText, std::string(value)};
    }
    void WriteBinary(std::string_view key, std::string_view name, std::string_view value) override
    {
        keys_[std::string(key)][std::string(name)] = Value{ValueKind::vkBinary, std::string(value)};
    }
    void DeleteKey(std::string_view key) override
    {
        // The key and every key below it ("key\...").
        const std::string prefix = std::string(key) + '\\';
        for (auto it = keys_.begin(); it != keys_.end();)
            it = (it->first == key || it->first.compare(0, prefix.size(), prefix) == 0) ? keys_.erase(it)
                                                                                        : std::next(it);
    }

    // For tests: the stored value with its kind, or null.
    const Value* Find(std::string_view key, std::string_view name) const
    {
        const auto k = keys_.find(std::string(key));
        if (k == keys_.end()) return nullptr;
        const auto v = k->second.find(std::string(name));
        return v == k->second.end() ? nullptr : &v->second;
    }
    void CreateKey(std::string_view key) { keys_[std::string(key)]; }

private:
    std::map<std::string, std::map<std::string, Value>> keys_;
};

}  // namespace tarnwick
