#include "highlight/stored_form.h"

#include <cstdio>
#include <exception>
#include <vector>

#include "highlight/compressor.h"

namespace tarnwick {

namespace {

// Smallest stored sizes, used to check counts against what is left before reading items.
constexpr std::size_t kGroupMin = TSM_CharGroup::kMinStreamSize;
constexpr std::size_t kMatchPartMin = 1 + kGroupMin + 1;
constexpr std::size_t kEndPartMin = 1 + 1 + 1;
constexpr std::size_t kTokenRuleMin = kMatchPartMin + 32 + kMatchPartMin + kEndPartMin + 1;
constexpr std::size_t kRangeListMin = 4;

class PayloadError : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

// ---- writing

struct PayloadWriter {
    const ParserTables& t;
    TStream& s;

    void Group(std::uint16_t number) { t.Group(number).SaveToStream(s); }

    void Match(const TMatchPart& p)
    {
        WriteU8(s, p.repeat);
        Group(p.group);
        WriteU8(s, p.hasHandler ? 1 : 0);
        if (p.hasHandler) {
            WriteU8(s, p.custom);
            WriteI32(s, p.handler);
        }
    }

    void End(const TEndPart& e)
    {
        WriteU8(s, e.consume);
        WriteU8(s, e.hasHandler ? 1 : 0);
        if (e.hasHandler) {
            WriteU8(s, e.custom);
            WriteI32(s, e.handler);
            return;
        }
        const std::uint8_t count = e.count > 4 ? 4 : e.count;
        WriteU8(s, count);
        for (std::uint8_t i = 0; i < count; ++i) Group(e.groups[i]);
    }

    void Rule(const TTokenRule& r)
    {
        Match(r.first);
        WriteSet32(s, r.valid);
        if (r.first.hasHandler) {
            // A whole-token matcher reads the whole token: body and end are not used.
            Match(TMatchPart{});
            End(TEndPart{});
        } else {
            Match(r.body);
            End(r.end);
        }
        WriteU8(s, r.value);
    }

    void Ranges(const std::vector<RangeRule>& ranges)
    {
        WriteI32(s, static_cast<std::int32_t>(ranges.size()));
        for (const RangeRule& r : ranges) {
            WriteU16(s, r.low);
            WriteU16(s, r.high);
            Rule(r.rule);
        }
    }
};

// ---- reading

struct PayloadReader {
    ParserTables& t;
    TStream& s;

    std::int32_t Count(std::size_t minItem) { return ReadCount(s, minItem); }

    std::uint16_t Group()
    {
        TSM_CharGroup g;
        g.LoadFromStream(s);
        return t.RegisterGroup(g);
    }

    TMatchPart Match()
    {
        TMatchPart p;
        p.repeat = ReadU8(s);
        p.group = Group();
        p.hasHandler = ReadU8(s) != 0 ? 1 : 0;
        if (p.hasHandler) {
            p.custom = ReadU8(s);
            p.handler = ReadI32(s);
        }
        return p;
    }

    TEndPart End()
    {
        TEndPart e;
        e.consume = ReadU8(s);
        e.hasHandler = ReadU8(s) != 0 ? 1 : 0;
        if (e.hasHandler) {
            e.custom = ReadU8(s);
            e.handler = ReadI32(s);
            return e;
        }
        e.count = ReadU8(s);
        if (e.count > 4) throw PayloadError("Invalid terminator count in end part");
        for (std::uint8_t i = 0; i < e.count; ++i) e.groups[i] = Group();
        return e;
    }

    TTokenRule Rule()
    {
        TTokenRule r;
        r.first = Match();
        r.valid = ReadSet32(s);
        r.body = Match();
        r.end = End();
        r.value = ReadU8(s);
        return r;
    }

    std::vector<RangeRule> Ranges()
    {
        const std::int32_t k = Count(2 + 2 + kTokenRuleMin);
        std::vector<RangeRule> ranges;
        ranges.reserve(static_cast<std::size_t>(k));
        for (std::int32_t i = 0; i < k; ++i) {
            RangeRule r;
            r.low = ReadU16(s);
            r.high = ReadU16(s);
            r.rule = Rule();
            ranges.push_back(std::move(r));
        }
        return ranges;
    }
};

}  // namespace

std::string ParserVersionMessage(const std::string& componentName, int expected, int read)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer,
                  "%s: DFM file saved by different version of VOzuvavIdavParser.\n\r"
                  "Recompile script to update DFM file.\n\r"
                  "Expected version was %d read version was %d",
                  componentName.c_str(), expected, read);
    return buffer;
}

namespace {

// Writes how many of the 256 entries `present` accepts, then each of them as its index byte
// followed by what `write` writes for it.
template <class Entries, class Present, class Write>
void WriteIndexed(TStream& out, const Entries& entries, Present present, Write write)
{
    std::int32_t n = 0;
    for (const auto& entry : entries) n += present(entry) ? 1 : 0;
    WriteI32(out, n);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!present(entries[i])) continue;
        WriteU8(out, static_cast<std::uint8_t>(i));
        write(entries[i]);
    }
}

}  // namespace

void WriteParserPayload(const VOzuvavIdavParser& parser, TStream& out)
{
    const ParserTables& t = parser.Tables();
    PayloadWriter w{t, out};

    parser.Settings().SaveToStream(out);
    t.keywords->SaveToStream(out);

    const auto present = [](const auto& entry) { return entry.has_value(); };
    WriteIndexed(out, t.continuation, present, [&](const std::optional<THandlerRule>& rule) {
        w.Match(rule->step);
        w.End(rule->end);
    });
    WriteIndexed(out, t.defaultTable.rules, present, [&](const std::optional<TTokenRule>& rule) { w.Rule(*rule); });
    WriteIndexed(
        out, t.contextState, [&](const TStateSet& set) { return !(set == t.startStates); },
        [&](const TStateSet& set) { WriteSet32(out, set); });
    WriteIndexed(out, t.tokenStateInfo, present, [&](const std::optional<TTokenStateInfo>& info) {
        WriteSet32(out, info->valid);
        WriteSet32(out, info->add);
        WriteSet32(out, info->remove);
        WriteU8(out, info->container);
        WriteU8(out, info->noChange);
        WriteU8(out, info->stack);
    });

    std::int32_t n = 0;
    if (!t.noPerStateTables)
        for (std::size_t st = 0; st < 256; ++st) n += t.statesWithOwnTable.Contains(st) && t.stateTables[st] ? 1 : 0;
    WriteI32(out, n);
    if (n > 0) {
        for (std::size_t st = 0; st < 256; ++st) {
            if (!t.statesWithOwnTable.Contains(st) || !t.stateTables[st]) continue;
            const FirstCharTable& table = *t.stateTables[st];
            WriteU8(out, static_cast<std::uint8_t>(st));
            std::int32_t m = 0;
            for (const auto& r : table.rules) m += r ? 1 : 0;
            WriteI32(out, m);
            // The whole range list follows every entry.
            for (std::size_t c = 0; c < 256; ++c) {
                if (!table.rules[c]) continue;
                WriteU8(out, static_cast<std::uint8_t>(c));
                w.Rule(*table.rules[c]);
                w.Ranges(table.ranges);
            }
        }
    }

    WriteSet32(out, t.restartAnchors);
    WriteSet32(out, t.boundStates);
    WriteSet32(out, t.startStates);
    WriteU8(out, t.usesCustomMatches ? 1 : 0);
}

void ReadParserPayload(VOzuvavIdavParser& parser, TStream& in, std::int32_t version)
{
    ParserTables& t = parser.Tables();
    PayloadReader r{t, in};

    parser.Settings().SetStreamVersion(version);
    parser.Settings().LoadFromStream(in);
    t.keywords->LoadFromStream(in);
    t.caseSensitive = t.keywords->CaseSensitive();

    std::int32_t n = r.Count(1 + kMatchPartMin + kEndPartMin);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint8_t v = ReadU8(in);
        THandlerRule h;
        h.step = r.Match();
        h.end = r.End();
        t.continuation[v] = h;
    }

    n = r.Count(1 + kTokenRuleMin);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint8_t c = ReadU8(in);
        t.defaultTable.rules[c] = r.Rule();
    }

    // Only the entries that differ from the start states are stored; the others get the start
    // states once those are read.
    std::array<bool, 256> stored{};
    n = r.Count(1 + 32);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint8_t v = ReadU8(in);
        t.contextState[v] = ReadSet32(in);
        stored[v] = true;
    }

    n = r.Count(1 + 3 * 32 + 3);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint8_t v = ReadU8(in);
        TTokenStateInfo info;
        info.valid = ReadSet32(in);
        info.add = ReadSet32(in);
        info.remove = ReadSet32(in);
        info.container = ReadU8(in);
        info.noChange = ReadU8(in);
        info.stack = ReadU8(in);
        t.tokenStateInfo[v] = info;
    }

    n = r.Count(1 + 4);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint8_t st = ReadU8(in);
        FirstCharTable& table = t.StateTable(st);
        const std::int32_t m = r.Count(1 + kTokenRuleMin + kRangeListMin);
        for (std::int32_t j = 0; j < m; ++j) {
            const std::uint8_t c = ReadU8(in);
            table.rules[c] = r.Rule();
            table.ranges = r.Ranges();  // the last list read is the state's list
        }
    }

    t.restartAnchors = ReadSet32(in);
    t.boundStates = ReadSet32(in);
    t.startStates = ReadSet32(in);
    t.usesCustomMatches = ReadU8(in) != 0;

    for (std::size_t v = 0; v < 256; ++v)
        if (!stored[v]) t.contextState[v] = t.startStates;
    t.UpdatePerStateFlag();
}

// ---- the component's property reader and writer

void VOzuvavIdavParser::SaveToStream(TStream& stream) const
{
    WriteU16(stream, kParserFormatVersion);
    TMemoryStream payload;
    WriteParserPayload(*this, payload);
    if (payload.Size() > INT32_MAX) throw EDoravaVizuParserError(Name + ": " + compressor_msg::kTooLarge);
    WriteI32(stream, static_cast<std::int32_t>(payload.Size()));
    payload.SetPosition(0);
    TCompressor::Compress(payload, stream, TCompressor::cmKH);
}

bool VOzuvavIdavParser::LoadFromStream(TStream& stream, bool readingForm)
{
    Reset();
    std::uint16_t version = 0;
    try {
        version = ReadU16(stream);
    } catch (const std::exception& e) {
        throw EDoravaVizuParserError(Name + ": " + e.what());
    }
    if (version < kParserLowestFormatVersion) {
        const std::string message = ParserVersionMessage(Name, kParserFormatVersion, version);
        if (readingForm) throw EDoravaVizuParserError(message);
        if (OnParserVersionError) OnParserVersionError(*this, version, kParserFormatVersion);
        else if (OnShowInformation) OnShowInformation(message);
        return false;
    }
    try {
        ReadI32(stream);  // the payload size; the compressed stream carries its own
        TMemoryStream payload;
        TCompressor::Decompress(stream, payload);
        payload.SetPosition(0);
        ReadParserPayload(*this, payload, version);
    } catch (const std::exception& e) {
        const std::string message = Name + ": " + e.what();
        Reset();
        throw EDoravaVizuParserError(message);
    }
    // The scanner starts over on the loaded tables.
    current_ = tables_.startStates;
    SelectTable();
    MirrorStates();
    return true;
}

}  // namespace tarnwick
