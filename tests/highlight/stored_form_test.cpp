// The stored form of a compiled highlighter: what is saved comes back table by table, older
// versions are handled, and damaged data ends in an error with the highlighter reset.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "editor/streams.h"
#include "highlight/builtin_sql.h"
#include "highlight/compressor.h"
#include "highlight/rescan.h"
#include "highlight/script_compiler.h"
#include "highlight/stored_form.h"
#include "test_highlighter.h"

namespace tarnwick {
namespace {

using test::BuildTestHighlighter;
using test::Group;
using test::States;

// ---- comparison of two highlighters, groups compared by contents

struct TableCompare {
    const ParserTables& a;
    const ParserTables& b;

    void Group(std::uint16_t x, std::uint16_t y, const std::string& where) const
    {
        EXPECT_TRUE(a.Group(x) == b.Group(y)) << where << ": groups differ";
    }
    void Match(const TMatchPart& x, const TMatchPart& y, const std::string& where) const
    {
        EXPECT_EQ(x.repeat, y.repeat) << where;
        Group(x.group, y.group, where);
        EXPECT_EQ(x.hasHandler != 0, y.hasHandler != 0) << where;
        if (x.hasHandler && y.hasHandler) {
            EXPECT_EQ(x.custom, y.custom) << where;
            EXPECT_EQ(x.handler, y.handler) << where;
        }
    }
    void End(const TEndPart& x, const TEndPart& y, const std::string& where) const
    {
        EXPECT_EQ(x.consume, y.consume) << where;
        ASSERT_EQ(x.hasHandler != 0, y.hasHandler != 0) << where;
        if (x.hasHandler) {
            EXPECT_EQ(x.custom, y.custom) << where;
            EXPECT_EQ(x.handler, y.handler) << where;
            return;
        }
        ASSERT_EQ(x.count, y.count) << where;
        for (int i = 0; i < x.count; ++i) Group(x.groups[i], y.groups[i], where + " end group");
    }
    void Rule(const TTokenRule& x, const TTokenRule& y, const std::string& where) const
    {
        Match(x.first, y.first, where + " first");
        EXPECT_EQ(x.valid, y.valid) << where;
        EXPECT_EQ(x.value, y.value) << where;
        if (x.first.hasHandler) return;  // body and end unused
        Match(x.body, y.body, where + " body");
        End(x.end, y.end, where);
    }
    void Table(const FirstCharTable& x, const FirstCharTable& y, const std::string& where) const
    {
        for (int c = 0; c < 256; ++c) {
            const std::string w = where + " char " + std::to_string(c);
            ASSERT_EQ(x.rules[c].has_value(), y.rules[c].has_value()) << w;
            if (x.rules[c]) Rule(*x.rules[c], *y.rules[c], w);
        }
        ASSERT_EQ(x.ranges.size(), y.ranges.size()) << where;
        for (std::size_t i = 0; i < x.ranges.size(); ++i) {
            EXPECT_EQ(x.ranges[i].low, y.ranges[i].low) << where;
            EXPECT_EQ(x.ranges[i].high, y.ranges[i].high) << where;
            Rule(x.ranges[i].rule, y.ranges[i].rule, where + " range " + std::to_string(i));
        }
    }
    void All() const
    {
        TMemoryStream ka, kb;
        a.keywords->SaveToStream(ka);
        b.keywords->SaveToStream(kb);
        EXPECT_EQ(ka.Data(), kb.Data()) << "keyword tables differ";
        EXPECT_EQ(a.keywords->Words().size(), b.keywords->Words().size());
        for (int v = 0; v < 256; ++v) {
            const std::string w = "value " + std::to_string(v);
            ASSERT_EQ(a.continuation[v].has_value(), b.continuation[v].has_value()) << w;
            if (a.continuation[v]) {
                Match(a.continuation[v]->step, b.continuation[v]->step, "continuation " + w);
                End(a.continuation[v]->end, b.continuation[v]->end, "continuation " + w);
            }
            EXPECT_EQ(a.contextState[v], b.contextState[v]) << "context state " << w;
            EXPECT_EQ(a.tokenStateInfo[v], b.tokenStateInfo[v]) << "token state info " << w;
        }
        Table(a.defaultTable, b.defaultTable, "default table");
        EXPECT_EQ(a.statesWithOwnTable, b.statesWithOwnTable);
        EXPECT_EQ(a.noPerStateTables, b.noPerStateTables);
        for (int st = 0; st < 256; ++st) {
            ASSERT_EQ(a.stateTables[st] != nullptr, b.stateTables[st] != nullptr) << "state " << st;
            if (a.stateTables[st]) Table(*a.stateTables[st], *b.stateTables[st], "state " + std::to_string(st));
        }
        EXPECT_EQ(a.restartAnchors, b.restartAnchors);
        EXPECT_EQ(a.boundStates, b.boundStates);
        EXPECT_EQ(a.startStates, b.startStates);
        EXPECT_EQ(a.usesCustomMatches, b.usesCustomMatches);
        EXPECT_EQ(a.caseSensitive, b.caseSensitive);
    }
};

std::string SettingsBytes(const TSM_Settings& s)
{
    TMemoryStream m;
    s.SaveToStream(m);
    return m.Data();
}

std::string Save(const VOzuvavIdavParser& p)
{
    TMemoryStream m;
    p.SaveToStream(m);
    return m.Data();
}

std::string Payload(const VOzuvavIdavParser& p)
{
    TMemoryStream m;
    WriteParserPayload(p, m);
    return m.Data();
}

// A property holding `payload` under the given header version.
std::string Property(const std::string& payload, std::uint16_t version)
{
    TMemoryStream out;
    WriteU16(out, version);
    WriteI32(out, static_cast<std::int32_t>(payload.size()));
    ReadOnlyMemoryStream in(payload);
    TCompressor::Compress(in, out, TCompressor::cmKH);
    return out.Data();
}

void Load(VOzuvavIdavParser& p, const std::string& data, bool readingForm = false)
{
    ReadOnlyMemoryStream in(data);
    p.LoadFromStream(in, readingForm);
}

// Whether `p` holds nothing but what a fresh highlighter holds.
void ExpectReset(const VOzuvavIdavParser& p, const std::string& where)
{
    static const VOzuvavIdavParser fresh;
    static const std::string freshSettings = SettingsBytes(fresh.Settings());
    const ParserTables& t = p.Tables();
    EXPECT_TRUE(t.keywords->Words().empty()) << where;
    EXPECT_EQ(t.groups.Count(), 1) << where;
    EXPECT_TRUE(t.statesWithOwnTable.Empty()) << where;
    EXPECT_TRUE(t.noPerStateTables) << where;
    for (int i = 0; i < 256; ++i) {
        EXPECT_FALSE(t.defaultTable.rules[i] || t.continuation[i] || t.tokenStateInfo[i]) << where << " " << i;
        EXPECT_TRUE(t.contextState[i].Empty()) << where;
    }
    EXPECT_EQ(t.startStates, fresh.Tables().startStates) << where;
    EXPECT_EQ(SettingsBytes(p.Settings()), freshSettings) << where;
}

// The test highlighter with more of what the stored form carries: range lists, handlers in
// end parts and continuations, custom matches, stack bits, bound states and a second state table.
void BuildRichHighlighter(VOzuvavIdavParser& p)
{
    BuildTestHighlighter(p);
    ParserTables& t = p.Tables();
    FirstCharTable& comment = t.StateTable(1);
    TTokenRule wide = test::Rule(t, "[a-z]", "[a-z0-9]", "[ \\t]", true, 9, States({1}));
    FirstCharTable& other = t.StateTable(7);
    other.ranges.push_back({0x100, 0x2FF, wide});
    TTokenRule whole;
    whole.first.hasHandler = 1;
    whole.first.handler = kMatchStdIdentifier;
    whole.valid = States({1, 5});
    whole.value = 12;
    other.ranges.push_back({0x400, 0x4FF, whole});
    comment.ranges.push_back({0x500, 0x5FF, whole});
    TTokenRule custom = test::Rule(t, "@", "", "", false, 13, States({7}));
    custom.body.hasHandler = 1;
    custom.body.custom = 1;
    custom.body.handler = 42;
    custom.end.hasHandler = 1;
    custom.end.handler = kMatchWebChar;
    custom.end.consume = 1;
    other.rules['@'] = custom;
    TTokenRule fourEnds = test::Rule(t, "%", "[^%]", "%", true, 14, States({7}));
    fourEnds.end.count = 4;
    fourEnds.end.groups[1] = t.RegisterGroup(Group("[0-9]"));
    fourEnds.end.groups[2] = t.RegisterGroup(Group("[^a]"));
    fourEnds.end.groups[3] = t.RegisterGroup(Group("[\\n]"));
    other.rules['%'] = fourEnds;

    THandlerRule step;
    step.step.hasHandler = 1;
    step.step.handler = kMatchPascalChar;
    step.step.repeat = 1;
    t.continuation[1] = step;

    TTokenStateInfo pushing = test::Info(States({0}), States({7}), {});
    pushing.stack = kStackPushBefore | kStackPopAfter;
    t.tokenStateInfo[13] = pushing;
    t.contextState[13] = {};  // stored as an explicitly empty entry
    t.contextState[14] = States({0, 7});
    t.boundStates = States({2});
    t.restartAnchors = States({0, 3, 8});
    t.usesCustomMatches = true;
    t.caseSensitive = false;
    t.UpdatePerStateFlag();

    p.Settings().languageName = "Hand made";
    p.Settings().exampleText = "select 1 from dual";
    p.Settings().gutterFont.name = "Lucida Console";
}

const char* const kSampleSql =
    "-- sample\r\nCREATE OR REPLACE PACKAGE BODY pkg IS\r\n  /* block\r\n comment */\r\n"
    "  PROCEDURE p(a IN NUMBER) IS\r\n  BEGIN\r\n    SELECT count(*), 'it''s', 1.5e3, \"Quoted\"\r\n"
    "      INTO v FROM dual WHERE x <> 0x1F AND y = :bind;\r\n    dbms_output.put_line(SQLERRM);\r\n"
    "  EXCEPTION WHEN no_data_found THEN NULL;\r\n  END;\r\nEND pkg;\r\n/\r\n";

// ---- round trips

TEST(StoredFormTest, SqlHighlighterRoundTripsTableByTable)
{
    VOzuvavIdavParser original;
    LoadBuiltInSqlHighlighter(original);
    const std::string payload = Payload(original);
    const std::string property = Save(original);
    std::cout << "SQL highlighter: payload " << payload.size() << " bytes, property " << property.size() << " bytes\n";
    RecordProperty("payload_size", static_cast<int>(payload.size()));
    RecordProperty("property_size", static_cast<int>(property.size()));

    // Header: version 51, the payload size, then a KH stream of that original size.
    ReadOnlyMemoryStream header(property);
    EXPECT_EQ(ReadU16(header), 51);
    EXPECT_EQ(ReadI32(header), static_cast<std::int32_t>(payload.size()));
    EXPECT_EQ(property.substr(6, 4), "WRZL");
    ReadOnlyMemoryStream sizeField(std::string_view(property).substr(10, 4));
    EXPECT_EQ(ReadI32(sizeField), static_cast<std::int32_t>(payload.size()));

    VOzuvavIdavParser loaded;
    ASSERT_TRUE([&] {
        Load(loaded, property);
        return true;
    }());
    TableCompare{original.Tables(), loaded.Tables()}.All();
    EXPECT_EQ(SettingsBytes(original.Settings()), SettingsBytes(loaded.Settings()));
    EXPECT_EQ(loaded.Settings().languageName, original.Settings().languageName);
    EXPECT_FALSE(loaded.Settings().languageName.empty());
    // Saved again, the loaded highlighter gives the same bytes.
    EXPECT_EQ(Save(loaded), property);

    const HighlightedText a = HighlightText(original, kSampleSql);
    const HighlightedText b = HighlightText(loaded, kSampleSql);
    EXPECT_EQ(a.values, b.values);
    // The sample is really coloured (more than one token value occurs).
    int distinct = 0;
    std::array<bool, 256> seen{};
    for (auto v : a.values) distinct += seen[v] ? 0 : (seen[v] = true, 1);
    EXPECT_GT(distinct, 4);

    // The payload reader consumes the payload to its last byte.
    VOzuvavIdavParser direct;
    ReadOnlyMemoryStream in(payload);
    ReadParserPayload(direct, in, 51);
    EXPECT_EQ(in.Remaining(), 0);
}

TEST(StoredFormTest, BuiltInSqlHighlighterIsTheScriptCompiled)
{
    // The programs carry the stored form made at build time; it must be what the script in the
    // source tree compiles to, table by table and byte for byte.
    VOzuvavIdavParser compiled;
    CompileHighlighterScript(compiled, std::string(TARNWICK_SOURCE_DIR) + "/resources/highlighters/SQL_Diret.txt");
    VOzuvavIdavParser builtIn;
    LoadBuiltInSqlHighlighter(builtIn);
    TableCompare{compiled.Tables(), builtIn.Tables()}.All();
    EXPECT_EQ(SettingsBytes(compiled.Settings()), SettingsBytes(builtIn.Settings()));
    EXPECT_EQ(Save(compiled), std::string(BuiltInSqlStoredForm()));
}

TEST(StoredFormTest, HandMadeHighlighterWithStateTablesAndRangesRoundTrips)
{
    VOzuvavIdavParser original;
    BuildRichHighlighter(original);
    ASSERT_FALSE(original.Tables().noPerStateTables);
    VOzuvavIdavParser loaded;
    Load(loaded, Save(original));
    TableCompare{original.Tables(), loaded.Tables()}.All();
    EXPECT_EQ(SettingsBytes(original.Settings()), SettingsBytes(loaded.Settings()));
    ASSERT_TRUE(loaded.Tables().stateTables[1]);
    EXPECT_EQ(loaded.Tables().stateTables[1]->ranges.size(), 1u);
    ASSERT_TRUE(loaded.Tables().stateTables[7]);
    EXPECT_EQ(loaded.Tables().stateTables[7]->ranges.size(), 2u);
    EXPECT_TRUE(loaded.Tables().contextState[13].Empty());
    EXPECT_EQ(loaded.Tables().contextState[0], loaded.Tables().startStates);

    // Equal groups written many times come back as one number each.
    EXPECT_LE(loaded.Tables().groups.Count(), original.Tables().groups.Count());

    const char* text = "select 'a' /* x\n* y */ 0x1fz 12.5 # c\n{ x y } from";
    EXPECT_EQ(HighlightText(original, text).values, HighlightText(loaded, text).values);
}

TEST(StoredFormTest, EmptyHighlighterRoundTripsAndLoadingReplacesEverything)
{
    VOzuvavIdavParser empty;
    VOzuvavIdavParser target;
    BuildRichHighlighter(target);
    Load(target, Save(empty));
    ExpectReset(target, "empty loaded over a full one");
    // No per-state tables are stored as a count of 0.
    const std::string payload = Payload(empty);
    const std::size_t tail = 32 * 3 + 1;
    ReadOnlyMemoryStream count(std::string_view(payload).substr(payload.size() - tail - 4, 4));
    EXPECT_EQ(ReadI32(count), 0);
}

// ---- versions

// Drops the gutter font fields that end the settings stream (a version 50 settings stream).
std::string Version50Payload(const VOzuvavIdavParser& p)
{
    const std::string payload = Payload(p);
    const std::size_t settingsSize = SettingsBytes(p.Settings()).size();
    const std::size_t gutterFont = 4 + p.Settings().gutterFont.name.size() + 4 + 1 + 4 + 1;
    std::string v50 = payload;
    v50.erase(settingsSize - gutterFont, gutterFont);
    return v50;
}

TEST(StoredFormTest, Version50DataWithoutGutterFontLoads)
{
    VOzuvavIdavParser original;
    BuildRichHighlighter(original);
    VOzuvavIdavParser loaded;
    Load(loaded, Property(Version50Payload(original), 50));
    TableCompare{original.Tables(), loaded.Tables()}.All();
    EXPECT_EQ(loaded.Settings().languageName, "Hand made");
    EXPECT_EQ(loaded.Settings().exampleText, original.Settings().exampleText);
    EXPECT_NE(loaded.Settings().gutterFont.name, "Lucida Console");
    EXPECT_EQ(loaded.Settings().gutterFont, VOzuvavIdavParser().Settings().gutterFont);

    // The same bytes read as version 51 run out inside the settings stream.
    VOzuvavIdavParser wrong;
    EXPECT_THROW(Load(wrong, Property(Version50Payload(original), 51)), EDoravaVizuParserError);
    ExpectReset(wrong, "v50 payload read as 51");
}

TEST(StoredFormTest, Version49IsReportedAndLeavesTheHighlighterEmpty)
{
    VOzuvavIdavParser source;
    BuildRichHighlighter(source);
    const std::string old = Property(Payload(source), 49);
    const std::string expected = ParserVersionMessage("SQLParser", 51, 49);
    EXPECT_NE(expected.find("Expected version was 51 read version was 49"), std::string::npos);
    EXPECT_EQ(expected.rfind("SQLParser: DFM file saved by different version of VOzuvavIdavParser.", 0), 0u);

    {  // while a form is read: raised
        VOzuvavIdavParser p;
        BuildRichHighlighter(p);
        p.Name = "SQLParser";
        try {
            Load(p, old, true);
            ADD_FAILURE() << "no error";
        } catch (const EDoravaVizuParserError& e) {
            EXPECT_EQ(std::string(e.what()), expected);
        }
        ExpectReset(p, "v49 form");
    }
    {  // otherwise: the event, with the version read and the version expected
        VOzuvavIdavParser p;
        BuildRichHighlighter(p);
        int calls = 0;
        std::uint16_t got = 0, want = 0;
        p.OnParserVersionError = [&](VOzuvavIdavParser& sender, std::uint16_t encountered,
                                     std::uint16_t expectedVersion) {
            EXPECT_EQ(&sender, &p);
            ++calls;
            got = encountered;
            want = expectedVersion;
        };
        bool shown = false;
        p.OnShowInformation = [&](const std::string&) { shown = true; };
        ReadOnlyMemoryStream in(old);
        EXPECT_FALSE(p.LoadFromStream(in));
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(got, 49);
        EXPECT_EQ(want, 51);
        EXPECT_FALSE(shown);
        ExpectReset(p, "v49 event");
    }
    {  // no event: the message is shown
        VOzuvavIdavParser p;
        p.Name = "SQLParser";
        std::string shown;
        p.OnShowInformation = [&](const std::string& m) { shown = m; };
        ReadOnlyMemoryStream in(old);
        EXPECT_FALSE(p.LoadFromStream(in));
        EXPECT_EQ(shown, expected);
    }
}

// ---- damaged data

TEST(StoredFormTest, EveryTruncationOfAPropertyFailsAndResets)
{
    VOzuvavIdavParser source;
    BuildRichHighlighter(source);
    const std::string property = Save(source);
    VOzuvavIdavParser p;
    p.Name = "Parser1";
    for (std::size_t n = 0; n < property.size(); ++n) {
        p.Tables().keywords->AddWord("left", false, 1, States({0}), TSM_CharGroup());
        const std::string cut = property.substr(0, n);
        try {
            Load(p, cut);
            ADD_FAILURE() << "property cut at " << n << " loaded";
        } catch (const EDoravaVizuParserError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Parser1: ", 0), 0u) << e.what();
        }
        ExpectReset(p, "property cut at " + std::to_string(n));
        if (HasFailure()) break;
    }
}

TEST(StoredFormTest, EveryTruncationOfAPayloadFailsAndResets)
{
    VOzuvavIdavParser source;
    BuildRichHighlighter(source);
    const std::string payload = Payload(source);
    VOzuvavIdavParser p;
    // Every 7th cut in the tables; in the settings stream (read by the settings record) every 61st.
    const std::size_t settingsEnd = SettingsBytes(source.Settings()).size();
    for (std::size_t n = 0; n < payload.size(); n += n < settingsEnd ? 61 : 7) {
        p.Tables().keywords->AddWord("left", false, 1, States({0}), TSM_CharGroup());
        EXPECT_THROW(Load(p, Property(payload.substr(0, n), 51)), EDoravaVizuParserError) << "cut at " << n;
        ExpectReset(p, "payload cut at " + std::to_string(n));
        if (HasFailure()) break;
    }
    // A sample of cuts in the SQL highlighter's payload.
    VOzuvavIdavParser sql;
    LoadBuiltInSqlHighlighter(sql);
    const std::string big = Payload(sql);
    for (std::size_t n = 0; n < big.size(); n += 997) {
        EXPECT_THROW(Load(p, Property(big.substr(0, n), 51)), EDoravaVizuParserError) << "cut at " << n;
        ExpectReset(p, "SQL payload cut at " + std::to_string(n));
    }
}

TEST(StoredFormTest, ImpossibleCountsAndFieldsAreRejected)
{
    VOzuvavIdavParser source;
    BuildRichHighlighter(source);
    const std::string payload = Payload(source);
    TMemoryStream head;
    source.Settings().SaveToStream(head);
    source.Tables().keywords->SaveToStream(head);
    const std::size_t rulesAt = head.Data().size();

    std::string huge = payload;
    huge.replace(rulesAt, 4, std::string("\xFF\xFF\xFF\x7F", 4));  // continuation count
    VOzuvavIdavParser p;
    EXPECT_THROW(Load(p, Property(huge, 51)), EDoravaVizuParserError);
    ExpectReset(p, "huge count");

    std::string negative = payload;
    negative.replace(rulesAt, 4, std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_THROW(Load(p, Property(negative, 51)), EDoravaVizuParserError);

    // Continuation of value 1 in the rich highlighter: u8 value, match part (1 + group + 1 + 1 + 4),
    // then the end part: consume, has-handler (0), count. A count of 5 is impossible.
    const std::size_t countAt = rulesAt + 4 + 1 + (1 + TSM_CharGroup::kMinStreamSize + 1 + 1 + 4) + 2;
    ASSERT_EQ(static_cast<unsigned char>(payload[rulesAt + 4]), 1u);
    std::string badEnd = payload;
    ASSERT_EQ(badEnd[countAt], 0);
    badEnd[countAt] = 5;
    EXPECT_THROW(Load(p, Property(badEnd, 51)), EDoravaVizuParserError);
    ExpectReset(p, "end count 5");

    // A wrong magic in the compressed stream.
    std::string property = Save(source);
    property[6] = 'X';
    try {
        Load(p, property);
        ADD_FAILURE();
    } catch (const EDoravaVizuParserError& e) {
        EXPECT_NE(std::string(e.what()).find(compressor_msg::kNoHeaderStream), std::string::npos);
    }
}

TEST(StoredFormTest, CorruptedBytesNeverCrash)
{
    VOzuvavIdavParser source;
    BuildRichHighlighter(source);
    const std::string payload = Payload(source);
    VOzuvavIdavParser p;
    int failures = 0;
    for (std::size_t i = 0; i < payload.size(); i += 97) {
        std::string bad = payload;
        bad[i] = static_cast<char>(bad[i] ^ 0xA5);
        try {
            Load(p, Property(bad, 51));
        } catch (const EDoravaVizuParserError&) {
            ++failures;
            ExpectReset(p, "flip at " + std::to_string(i));
        }
        if (HasFailure()) break;
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace tarnwick
