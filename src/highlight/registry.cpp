// The highlighter's overrides of styles and key assignments in the platform key/value store.

#include "highlight/parser.h"
#include "highlight/style_string.h"

namespace tarnwick {

namespace {

constexpr const char* kHighlightingPrefix = "Highlighting - ";
constexpr const char* kKeyAssignmentsPrefix = "Key Assignments - ";
constexpr std::string_view kKeySignature = "Vexmar6:";
// The template key and the auto-replace trigger string: neither the style string nor the option
// files hold them, so they are kept beside the other two values.
constexpr const char* kTemplateKeyPrefix = "Template Hot Key - ";
constexpr const char* kTriggersPrefix = "Auto Replace Keys - ";

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
    registry_->WriteText(RegistryKey, kTemplateKeyPrefix + language, ShortcutToText(settings_->Templates().HotKey()));
    registry_->WriteText(RegistryKey, kTriggersPrefix + language, settings_->AutoReplace().Triggers());
}

void VOzuvavIdavParser::LoadStylesFromRegistry(bool fromProperty, const std::string& key)
{
    if (fromProperty && !UseRegistry) RegistryDisabled();
    const std::string path = fromProperty ? RegistryKey : key;
    if (!registry_ || path.empty() || !registry_->KeyExists(path)) return;
    const std::string& language = settings_->languageName;

    // Everything is read first and applied only when all of it could be read. The message names
    // the value that could not be read.
    std::optional<StyleOverrides> styles;
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
            ReadOnlyMemoryStream stream(std::string_view(*bytes).substr(9));
            keys = std::make_unique<TKeyboardActionContoller>();
            keys->LoadFromStream(stream);
        }
    } catch (const Exception&) {
        throw invalid(kKeyAssignmentsPrefix);
    }
    std::optional<std::uint16_t> templateKey;
    if (const auto text = registry_->ReadValue(path, kTemplateKeyPrefix + language)) {
        templateKey = TextToShortcut(*text);
        if (*templateKey == 0 && !text->empty()) throw invalid(kTemplateKeyPrefix);
    }
    std::optional<std::string> triggers;
    if (const auto text = registry_->ReadValue(path, kTriggersPrefix + language)) {
        try {
            TAutoReplace check;
            check.SetTriggers(*text);
        } catch (const Exception&) {
            throw invalid(kTriggersPrefix);
        }
        triggers = *text;
    }
    if (styles) ApplyStyleOverrides(*styles, *settings_);
    if (keys) settings_->Keys().Assign(keys.get());
    if (templateKey) settings_->Templates().SetHotKey(*templateKey);
    if (triggers) settings_->AutoReplace().SetTriggers(*triggers);
    if (styles || keys || templateKey || triggers) RefreshControls();
}

}  // namespace tarnwick
