#include "editor/settings.h"

#include <algorithm>

#include "editor/char_group.h"

namespace tarnwick {

namespace {

constexpr std::size_t kEditableNameLength = 25;

bool Meets(const TStateSet& a, const TStateSet& b)
{
    for (std::size_t i = 0; i < a.bytes.size(); ++i)
        if (a.bytes[i] & b.bytes[i]) return true;
    return false;
}

void WriteStyle(TStream& s, const StyleRecord& r)
{
    WriteU8(s, r.fontStyle);
    WriteU32(s, r.foreground);
    WriteU32(s, r.background);
    WriteU8(s, r.foregroundDefault ? 1 : 0);
    WriteU8(s, r.backgroundDefault ? 1 : 0);
    WriteU8(s, r.hotSpot ? 1 : 0);
    WriteI32(s, r.defined ? 1 : 0);
}

StyleRecord ReadStyle(TStream& s)
{
    StyleRecord r;
    r.fontStyle = ReadU8(s);
    r.foreground = ReadU32(s);
    r.background = ReadU32(s);
    r.foregroundDefault = ReadU8(s) != 0;
    r.backgroundDefault = ReadU8(s) != 0;
    r.hotSpot = ReadU8(s) != 0;
    r.defined = ReadI32(s) != 0;
    return r;
}

}  // namespace

TSM_Settings::TSM_Settings()
    : templates_(std::make_unique<TCodeTemplates>()),
      autoReplace_(std::make_unique<TAutoReplace>()),
      keys_(std::make_unique<TKeyboardActionContoller>())
{
    Reset();
}

TSM_Settings::~TSM_Settings() = default;

void TSM_Settings::Reset()
{
    if (!clients_.empty() && OnFreeFonts) OnFreeFonts(*this);
    exampleText.clear();
    languageName = "<Custom language>";
    wrapOverride = ">|:";
    fontCharset = DEFAULT_CHARSET;
    editableStyles_.fill({});
    options = kDefaultOptions;
    defaultTabWidth = 4;
    marginWidth = 2;
    rightMargin = 80;
    wordWrapColumn = 0;
    gutterWidth = 34;
    indentStep = 1;
    marginColor = clWhite;
    gutterColor = clBtnFace;
    selectedTextColor = clHighlightText;
    selectedTextBackground = clHighlight;
    tabColumns_.fill(-1);
    styleMap_.fill(0);
    styles_.fill({});
    styles_[0].defined = true;
    fontName = "Courier New";
    fontSize = 10;
    marginColorDefault = selectedTextColorDefault = selectedTextBackgroundDefault = gutterColorDefault = false;
    gutterFont = {"MS Sans Serif", 8, DEFAULT_CHARSET, clWindowText, 0};
    stylesChanged = true;
    printerFonts = false;
    for (auto& table : tables_) table.reset();
    userKeywords_.reset();
    hotSpots_ = -1;
    keys_->Assign(&DefaultKeyboardController());
    autoReplace_->Clear();
    templates_->Clear();
    if (!clients_.empty() && OnBuildFonts) OnBuildFonts(*this);
}

// ---- styles

void TSM_Settings::SetStyle(int token, const StyleRecord& style)
{
    styles_[static_cast<std::uint8_t>(token)] = style;
    hotSpots_ = -1;
    stylesChanged = true;
}

void TSM_Settings::SetStyleIndex(int token, std::uint8_t index)
{
    styleMap_[static_cast<std::uint8_t>(token)] = index;
    stylesChanged = true;
}

NamedStyle TSM_Settings::EditableStyle(int index) const
{
    if (index < 1 || index > kEditableStyles) return {};
    return editableStyles_[static_cast<std::size_t>(index - 1)];
}

void TSM_Settings::SetEditableStyle(int index, const NamedStyle& style)
{
    if (index < 1 || index > kEditableStyles) return;
    NamedStyle kept = style;
    if (kept.name.size() > kEditableNameLength) kept.name.resize(kEditableNameLength);
    editableStyles_[static_cast<std::size_t>(index - 1)] = kept;
}

bool TSM_Settings::HasHotSpots() const
{
    if (hotSpots_ < 0)
        hotSpots_ =
            std::any_of(styles_.begin(), styles_.end(), [](const StyleRecord& r) { return r.defined && r.hotSpot; });
    return hotSpots_ != 0;
}

std::int32_t TSM_Settings::TabColumn(int index) const
{
    return index >= 0 && index < kTabColumns ? tabColumns_[static_cast<std::size_t>(index)] : -1;
}

void TSM_Settings::SetTabColumn(int index, std::int32_t column)
{
    if (index >= 0 && index < kTabColumns) tabColumns_[static_cast<std::size_t>(index)] = column;
}

// ---- keyword tables

void TSM_Settings::AddKeywordTable(const KeywordTable& table)
{
    auto added = std::make_unique<KeywordTable>(table);
    if (added->states.Empty()) added->states.Include(0);

    int replace = -1;
    for (int i = 0; i < kKeywordTableSlots; ++i) {
        const auto& existing = tables_[static_cast<std::size_t>(i)];
        if (!existing || !Meets(existing->states, added->states)) continue;
        if (existing->states != added->states) throw EKeywords("Ambigious key table state definition");
        replace = i;
    }
    if (replace < 0) {
        int inUse = 0;
        for (const auto& t : tables_) inUse += t ? 1 : 0;
        if (inUse >= kKeywordTablesInUse) throw EKeywords("Too many keyword tables declared");
        for (int i = 0; i < kKeywordTableSlots; ++i)
            if (!tables_[static_cast<std::size_t>(i)]) {
                replace = i;
                break;
            }
    }
    // Build the words first: a table whose words clash leaves the record as it was.
    std::unique_ptr<KeywordTable> previous = std::move(tables_[static_cast<std::size_t>(replace)]);
    tables_[static_cast<std::size_t>(replace)] = std::move(added);
    try {
        RebuildUserKeywords();
    } catch (...) {
        tables_[static_cast<std::size_t>(replace)] = std::move(previous);
        RebuildUserKeywords();
        throw;
    }
}

void TSM_Settings::RebuildUserKeywords()
{
    auto keywords = std::make_unique<TKeywords>();
    bool any = false;
    for (const auto& table : tables_) {
        if (!table || table->words.empty()) continue;
        TSM_CharGroup terminator;
        if (!table->terminator.empty()) {
            std::size_t position = 1;
            terminator.Parse(table->terminator, position);
        }
        for (const auto& [word, token] : table->words) {
            if (word.empty()) continue;
            keywords->Add(word, table->caseSensitive, token, table->states, terminator);
            any = true;
        }
    }
    userKeywords_ = any ? std::move(keywords) : nullptr;
}

// ---- attached controls

void TSM_Settings::Attach(SettingsClient* client)
{
    if (!client || std::find(clients_.begin(), clients_.end(), client) != clients_.end()) return;
    clients_.push_back(client);
    if (clients_.size() == 1 && OnBuildFonts) OnBuildFonts(*this);
}

void TSM_Settings::Detach(SettingsClient* client)
{
    const auto it = std::find(clients_.begin(), clients_.end(), client);
    if (it == clients_.end()) return;
    clients_.erase(it);
    if (clients_.empty() && OnFreeFonts) OnFreeFonts(*this);
}

void TSM_Settings::RebuildFonts()
{
    if (clients_.empty()) return;
    if (OnFreeFonts) OnFreeFonts(*this);
    if (OnBuildFonts) OnBuildFonts(*this);
}

void TSM_Settings::Notify()
{
    for (SettingsClient* client : std::vector<SettingsClient*>(clients_)) {
        try {
            client->SettingsChanged();
        } catch (...) {
            // One control's failure does not keep the others from hearing of the change.
        }
    }
}

// ---- streams

void TSM_Settings::SaveToStream(TStream& s) const
{
    WriteLStr(s, exampleText);
    WriteLStr(s, languageName);
    WriteLStr(s, wrapOverride);
    for (std::int32_t v : {static_cast<std::int32_t>(options), marginWidth, rightMargin, wordWrapColumn, gutterWidth,
                           indentStep, static_cast<std::int32_t>(marginColor), static_cast<std::int32_t>(gutterColor),
                           static_cast<std::int32_t>(selectedTextColor),
                           static_cast<std::int32_t>(selectedTextBackground), defaultTabWidth})
        WriteI32(s, v);

    std::int32_t defined = 0;
    for (const StyleRecord& r : styles_) defined += r.defined ? 1 : 0;
    WriteI32(s, defined);
    for (int t = 0; t < 256; ++t)
        if (styles_[static_cast<std::size_t>(t)].defined) {
            WriteU8(s, static_cast<std::uint8_t>(t));
            WriteStyle(s, styles_[static_cast<std::size_t>(t)]);
        }

    std::int32_t mapped = 0;
    for (std::uint8_t v : styleMap_) mapped += v ? 1 : 0;
    WriteI32(s, mapped);
    for (int t = 0; t < 256; ++t)
        if (styleMap_[static_cast<std::size_t>(t)]) {
            WriteU8(s, static_cast<std::uint8_t>(t));
            WriteU8(s, styleMap_[static_cast<std::size_t>(t)]);
        }

    // Editable styles up to the last named one keep their places.
    int last = 0;
    for (int i = 0; i < kEditableStyles; ++i)
        if (!editableStyles_[static_cast<std::size_t>(i)].name.empty()) last = i + 1;
    WriteI32(s, last);
    for (int i = 0; i < last; ++i) {
        WriteLStr(s, editableStyles_[static_cast<std::size_t>(i)].name);
        WriteU8(s, editableStyles_[static_cast<std::size_t>(i)].token);
    }

    for (std::int32_t column : tabColumns_) WriteI32(s, column);
    WriteLStr(s, fontName);
    WriteI32(s, fontSize);
    WriteU8(s, fontCharset);
    for (bool flag : {marginColorDefault, selectedTextColorDefault, selectedTextBackgroundDefault, gutterColorDefault})
        WriteU8(s, flag ? 1 : 0);

    std::int32_t tables = 0;
    for (const auto& t : tables_) tables += t ? 1 : 0;
    WriteI32(s, tables);
    for (const auto& t : tables_) {
        if (!t) continue;
        WriteSet32(s, t->states);
        WriteLStr(s, t->terminator);
        WriteI32(s, t->caseSensitive ? 1 : 0);
        WriteI32(s, static_cast<std::int32_t>(t->words.size()));
        for (const auto& [word, token] : t->words) {
            WriteLStr(s, word);
            WriteI32(s, token);
        }
    }

    autoReplace_->SaveToStream(s);
    templates_->SaveToStream(s);
    keys_->SaveToStream(s);

    WriteLStr(s, gutterFont.name);
    WriteI32(s, gutterFont.size);
    WriteU8(s, gutterFont.charset);
    WriteU32(s, gutterFont.color);
    WriteU8(s, gutterFont.style);
}

void TSM_Settings::LoadFromStream(TStream& s)
{
    const std::int32_t version = streamVersion_;
    Reset();
    streamVersion_ = version;
    try {
        exampleText = ReadLStr(s);
        languageName = ReadLStr(s);
        wrapOverride = ReadLStr(s);
        options = ReadU32(s);
        marginWidth = ReadI32(s);
        rightMargin = ReadI32(s);
        wordWrapColumn = ReadI32(s);
        gutterWidth = ReadI32(s);
        indentStep = ReadI32(s);
        marginColor = ReadU32(s);
        gutterColor = ReadU32(s);
        selectedTextColor = ReadU32(s);
        selectedTextBackground = ReadU32(s);
        defaultTabWidth = ReadI32(s);

        styles_.fill({});
        for (std::int32_t n = ReadCount(s, 1 + 16); n > 0; --n) {
            const std::uint8_t token = ReadU8(s);
            styles_[token] = ReadStyle(s);
        }
        for (std::int32_t n = ReadCount(s, 2); n > 0; --n) {
            const std::uint8_t token = ReadU8(s);
            styleMap_[token] = ReadU8(s);
        }
        const std::int32_t editable = ReadCount(s, 4 + 1);
        for (std::int32_t i = 0; i < editable; ++i) {
            NamedStyle style;
            style.name = ReadLStr(s);
            style.token = ReadU8(s);
            if (i < kEditableStyles) SetEditableStyle(i + 1, style);
        }
        for (std::int32_t& column : tabColumns_) column = ReadI32(s);
        fontName = ReadLStr(s);
        fontSize = ReadI32(s);
        fontCharset = ReadU8(s);
        marginColorDefault = ReadU8(s) != 0;
        selectedTextColorDefault = ReadU8(s) != 0;
        selectedTextBackgroundDefault = ReadU8(s) != 0;
        gutterColorDefault = ReadU8(s) != 0;

        for (std::int32_t n = ReadCount(s, 32 + 4 + 4 + 4); n > 0; --n) {
            KeywordTable table;
            table.states = ReadSet32(s);
            table.terminator = ReadLStr(s);
            table.caseSensitive = ReadI32(s) != 0;
            for (std::int32_t m = ReadCount(s, 4 + 4); m > 0; --m) {
                std::string word = ReadLStr(s);
                const std::int32_t token = ReadI32(s);
                table.words.emplace_back(std::move(word), token);
            }
            AddKeywordTable(table);
        }

        autoReplace_->LoadFromStream(s);
        templates_->LoadFromStream(s);
        keys_->LoadFromStream(s);

        if (version >= kGutterFontVersion) {
            gutterFont.name = ReadLStr(s);
            gutterFont.size = ReadI32(s);
            gutterFont.charset = ReadU8(s);
            gutterFont.color = ReadU32(s);
            gutterFont.style = ReadU8(s);
        }
    } catch (...) {
        Reset();
        streamVersion_ = version;
        throw;
    }
    hotSpots_ = -1;
    stylesChanged = true;
    RebuildFonts();
}

}  // namespace tarnwick
