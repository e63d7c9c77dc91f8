// The highlighter's overrides of styles and key assignments in the platform key/value store.

#include "highlight/parser.h"
#include "highlight/style_string.h"

namespace tarnwick {

namespace {

constexpr const char* kHighlightingPrefix = "Highlighting - ";
constexpr const char* kKeyAssignmentsPrefix = "Key Assignments - ";
constexpr std::string_view kKeySignature = "Vexmar6:";

}  // namespace

void VOzuvavIdavParser::RegistryDisabled() const { throw EDoravaVizu("Registry interface disabled in: " + Name); }

void VOzuvavIdavParser::SaveStylesToRegistry()
{
    if (!UseRegistry || RegistryKey.empty() || !registry_) RegistryDisabled();
    const std::string& language = settings_->languageName;
    const std::string styles = FormatStyleString(*settings_);
    TMemoryStream keys;
    WriteSStr(keys, kKeySignature);
    settings_->Keys().SaveToStream(keys);
    registry_->WriteText(RegistryKey, kHighlightingPrefix + language, styles);
    registry_->WriteBinary(RegistryKey, kKeyAssignmentsPrefix + language, keys.Data());
}

void VOzuvavIdavParser::LoadStylesFromRegistry(bool fromProperty, const std::string& key)
{
    if (fromProperty && !UseRegistry) RegistryDisabled();
    const std::string path = fromProperty ? RegistryKey : key;
    if (!registry_ || path.empty() || !registry_->KeyExists(path)) return;
    const std::string& language = settings_->languageName;

    // Everything is read first and applied only when all of it could be read. The message names
    // the value that could not be read.
    std::optional<TStyleOverrides> styles;
    std::unique_ptr<TKeyboardActionContoller> keys;
    const auto invalid = [&](const char* prefix) {
        return EDoravaVizu("Invalid data in registry entry \"" + path + "\\" + prefix + language + "\"");
    };
    try {
        if (const auto text = registry_->ReadValue(path, kHighlightingPrefix + language))
            styles = ParseStyleString(*text);
    } catch (const Exception&) {
        throw invalid(kHighlightingPrefix);
    }
    try {
        if (const auto bytes = registry_->ReadValue(path, kKeyAssignmentsPrefix + language);
            bytes && bytes->find(kKeySignature) != std::string::npos) {
            if (bytes->size() < 9) throw EStreamError(msg::kStreamReadError);
            TReadOnlyMemoryStream stream(std::string_view(*bytes).substr(9));
            keys = std::make_unique<TKeyboardActionContoller>();
            keys->LoadFromStream(stream);
        }
    } catch (const Exception&) {
        throw invalid(kKeyAssignmentsPrefix);
    }
    if (styles) ApplyStyleOverrides(*styles, *settings_);
    if (keys) settings_->Keys().Assign(keys.get());
    if (styles || keys) RefreshControls();
}

}  // namespace tarnwick
