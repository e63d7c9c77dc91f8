#pragma once
// The editor settings record: everything the user can set about the look and behaviour of an
// editor for one language. A highlighter owns one and every control attached to it uses it; a
// control without a highlighter has its own. The record saves itself into the compiled
// highlighter and copies itself through that same stream.
//
// Fonts and glyph bitmaps belong to the window system: the record keeps what they are built from
// (names, sizes, character sets, style bits) and calls the hooks the ui installs.

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "editor/byte_set.h"
#include "editor/key_bindings.h"
#include "editor/keywords.h"
#include "editor/macro_keywords.h"
#include "editor/saved_object.h"

namespace tarnwick {

// A colour: 0x00BBGGRR, or 0x80000000 + n for system colour n.
using TColor = std::uint32_t;
inline constexpr TColor clSystem = 0x80000000u;
inline constexpr TColor clBtnFace = clSystem + 15;
inline constexpr TColor clHighlight = clSystem + 13;
inline constexpr TColor clHighlightText = clSystem + 14;
inline constexpr TColor clWindowText = clSystem + 8;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlack = 0x000000;

// Font style bits of a style record.
inline constexpr std::uint8_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

inline constexpr std::uint8_t DEFAULT_CHARSET = 1;

// How the text of one token value is drawn.
struct StyleRecord {
    std::uint8_t fontStyle = 0;
    TColor foreground = clBlack;
    TColor background = clWhite;
    bool foregroundDefault = false;
    bool backgroundDefault = false;
    bool hotSpot = false;
    bool defined = false;
    bool operator==(const StyleRecord&) const = default;
};

struct NamedStyle {
    std::string name;  // at most 25 characters
    std::uint8_t token = 0;
    bool operator==(const NamedStyle&) const = default;
};

struct FontData {
    std::string name;
    std::int32_t size = 0;
    std::uint8_t charset = DEFAULT_CHARSET;
    TColor color = clWindowText;
    std::uint8_t style = 0;
    bool operator==(const FontData&) const = default;
};

// An additional keyword table: the states in which it applies, its terminator characters (in the
// character-group text form), a case flag and words with their token values.
struct KeywordTable {
    TStateSet states;
    std::string terminator;
    bool caseSensitive = false;
    std::vector<std::pair<std::string, std::int32_t>> words;
    bool operator==(const KeywordTable&) const = default;
};

// A control using a settings record.
class SettingsClient {
public:
    virtual ~SettingsClient() = default;
    virtual void SettingsChanged() = 0;
};

class TSM_Settings : public TSM_Base {
public:
    static constexpr int kEditableStyles = 50;
    static constexpr int kTabColumns = 32;
    static constexpr int kKeywordTableSlots = 21;
    static constexpr int kKeywordTablesInUse = 20;
    static constexpr std::uint32_t kDefaultOptions = 0x3FFDBF0;
    // Settings streams of this version and later carry the gutter font.
    static constexpr std::int32_t kGutterFontVersion = 51;

    TSM_Settings();
    ~TSM_Settings() override;
    TSM_Settings(const TSM_Settings&) = delete;
    TSM_Settings& operator=(const TSM_Settings&) = delete;

    // Every field back to its default; keyword tables dropped, default key bindings, default
    // auto-replace entries, no templates.
    void Reset();

    // ---- persistent fields
    std::string exampleText;
    std::string languageName;
    std::string wrapOverride;
    std::uint8_t fontCharset = DEFAULT_CHARSET;
    std::uint32_t options = kDefaultOptions;
    std::int32_t defaultTabWidth = 4;
    std::int32_t marginWidth = 2;
    std::int32_t rightMargin = 80;
    std::int32_t wordWrapColumn = 0;
    std::int32_t gutterWidth = 34;
    std::int32_t indentStep = 1;
    TColor marginColor = clWhite;
    TColor gutterColor = clBtnFace;
    TColor selectedTextColor = clHighlightText;
    TColor selectedTextBackground = clHighlight;
    std::string fontName;
    std::int32_t fontSize = 10;
    bool marginColorDefault = false;
    bool selectedTextColorDefault = false;
    bool selectedTextBackgroundDefault = false;
    bool gutterColorDefault = false;
    FontData gutterFont;

    // ---- state that is not saved
    bool stylesChanged = true;
    bool printerFonts = false;

    // ---- styles
    const StyleRecord& Style(int token) const { return styles_[static_cast<std::uint8_t>(token)]; }
    void SetStyle(int token, const StyleRecord& style);
    std::uint8_t StyleIndex(int token) const { return styleMap_[static_cast<std::uint8_t>(token)]; }
    void SetStyleIndex(int token, std::uint8_t index);
    // Index 1..50; outside that range an empty style is returned and setting does nothing.
    NamedStyle EditableStyle(int index) const;
    void SetEditableStyle(int index, const NamedStyle& style);
    bool HasHotSpots() const;

    // ---- tab columns, index 0..31 (-1: unused)
    std::int32_t TabColumn(int index) const;
    void SetTabColumn(int index, std::int32_t column);

    // ---- owned objects
    TCodeTemplates& Templates() { return *templates_; }
    const TCodeTemplates& Templates() const { return *templates_; }
    TAutoReplace& AutoReplace() { return *autoReplace_; }
    const TAutoReplace& AutoReplace() const { return *autoReplace_; }
    TKeyboardActionContoller& Keys() { return *keys_; }
    const TKeyboardActionContoller& Keys() const { return *keys_; }

    // ---- keyword tables
    // Adds a table: an empty state set means state 0 alone. A table whose states meet the new
    // ones must have the same states (else EKeywords "Ambigious key table state definition")
    // and is replaced. Rebuilds the user keyword table.
    void AddKeywordTable(const KeywordTable& table);
    const std::array<std::unique_ptr<KeywordTable>, kKeywordTableSlots>& KeywordTables() const { return tables_; }
    // All words of all tables, or null when there are none.
    const TKeywords* UserKeywords() const { return userKeywords_.get(); }

    // ---- controls using the record
    void Attach(SettingsClient* client);
    void Detach(SettingsClient* client);
    int AttachedCount() const { return static_cast<int>(clients_.size()); }
    // Tells every attached control; an exception from one control does not stop the others.
    void Notify();
    // Hooks of the ui: fonts are built when the first control attaches and freed when the last
    // one goes (and rebuilt on request while controls are attached).
    std::function<void(TSM_Settings&)> OnBuildFonts;
    std::function<void(TSM_Settings&)> OnFreeFonts;
    void RebuildFonts();

    // ---- streams
    // The version of the stream the next load reads (the version of the stream last read after
    // it); saving always writes the newest layout.
    std::int32_t StreamVersion() const { return streamVersion_; }
    void SetStreamVersion(std::int32_t version) { streamVersion_ = version; }
    void SaveToStream(TStream& stream) const override;
    // Resets first. Raises EStreamError (or the family's errors) on a malformed stream; the
    // record is then left reset.
    void LoadFromStream(TStream& stream) override;
    std::string ClassName() const override { return "TSM_Settings"; }

protected:
    std::unique_ptr<TSM_Base> CreateEmpty() const override { return std::make_unique<TSM_Settings>(); }

private:
    void RebuildUserKeywords();

    std::array<NamedStyle, kEditableStyles> editableStyles_{};
    std::array<std::int32_t, kTabColumns> tabColumns_{};
    std::array<std::uint8_t, 256> styleMap_{};
    std::array<StyleRecord, 256> styles_{};
    std::unique_ptr<TCodeTemplates> templates_;
    std::unique_ptr<TAutoReplace> autoReplace_;
    std::unique_ptr<TKeyboardActionContoller> keys_;
    std::array<std::unique_ptr<KeywordTable>, kKeywordTableSlots> tables_;
    std::unique_ptr<TKeywords> userKeywords_;
    std::vector<SettingsClient*> clients_;
    mutable int hotSpots_ = -1;  // cached answer of HasHotSpots; -1 unknown
    std::int32_t streamVersion_ = std::numeric_limits<std::int32_t>::max();
};

}  // namespace tarnwick
