#include "highlight/parser_tables.h"

#include "editor/editor_errors.h"

namespace tarnwick {

const std::array<BuiltInMatcherName, 14>& BuiltInMatcherNames()
{
    static const std::array<BuiltInMatcherName, 14> names{{
        {"_PASCAL_CHAR", kMatchPascalChar},
        {"_WEB_CHAR", kMatchWebChar},
        {"_ORIGINAL_CHAR", kMatchOriginalChar},
        {"__STD_IDENTIFIER", kMatchStdIdentifier},
        {"__STD_NUMBER_OR_FP", kMatchStdNumberOrFp},
        {"__STD_PASCALSTRING", kMatchStdPascalString},
        {"__STD_C_STRING", kMatchStdCString},
        {"__STD_C_CHAR", kMatchStdCChar},
        {"__STD_C_NUMBER_OR_FP_SIGNED", kMatchStdCNumberOrFpSigned},
        {"__STD_NUMBER", kMatchStdNumber},
        {"__STD_MAIL_URL", kMatchStdMailUrl},
        {"__STD_HTML_STRING", kMatchStdHtmlString},
        {"__STD_JS_LINE_COMMENT", kMatchStdJsLineComment},
        {"__STD_C_STRING_SQ", kMatchStdCStringSq},
    }};
    return names;
}

std::int32_t BuiltInMatcherNumber(std::string_view name)
{
    for (const auto& n : BuiltInMatcherNames())
        if (n.name == name) return n.id;
    return -1;
}

ParserTables::ParserTables() { Reset(); }

void ParserTables::Reset()
{
    groups.Clear();
    groups.Register(TSM_CharGroup());  // number 0: the empty group
    keywords = std::make_unique<TSyntaxKeywords>();
    caseSensitive = false;
    for (auto& c : continuation) c.reset();
    for (auto& r : defaultTable.rules) r.reset();
    defaultTable.ranges.clear();
    for (auto& s : contextState) s.Clear();
    for (auto& i : tokenStateInfo) i.reset();
    for (auto& t : stateTables) t.reset();
    statesWithOwnTable.Clear();
    noPerStateTables = true;
    restartAnchors.Clear();
    restartAnchors.Include(0);
    boundStates.Clear();
    startStates.Clear();
    startStates.Include(0);
    usesCustomMatches = false;
}

std::uint16_t ParserTables::RegisterGroup(const TSM_CharGroup& group)
{
    const int count = groups.Count();
    const int number = groups.Register(group);
    if (number > 0xFFFF) {
        // Keep the manager within the numbers a rule can name.
        if (number == count) {
            TSM_CharGroupManager copy;
            for (int i = 0; i < count; ++i) copy.Register(groups.Get(i));
            groups = std::move(copy);
        }
        throw EDoravaVizu("Too many character groups (at most 65536)");
    }
    return static_cast<std::uint16_t>(number);
}

FirstCharTable& ParserTables::StateTable(std::uint8_t state)
{
    auto& table = stateTables[state];
    if (!table) table = std::make_unique<FirstCharTable>();
    statesWithOwnTable.Include(state);
    noPerStateTables = false;
    return *table;
}

void ParserTables::FinishCompile()
{
    for (auto& s : contextState)
        if (s.Empty()) s = startStates;
    UpdatePerStateFlag();
}

}  // namespace tarnwick
