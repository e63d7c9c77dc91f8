#include "script_generator.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <vector>

namespace tarnwick::bench {

namespace {

// SplitMix64: small, fast and the same everywhere.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0.
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32); }

    bool Chance(std::uint32_t percent) { return Below(100) < percent; }

    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items)
    {
        return items[Below(static_cast<std::uint32_t>(N))];
    }

private:
    std::uint64_t state_;
};

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr std::size_t kMaxDepth = 4;

using Words = std::string_view;

constexpr std::array<Words, 12> kTables = {"customers", "orders",      "order_lines", "products",
                                           "invoices",  "payments",    "shipments",   "suppliers",
                                           "employees", "departments", "audit_trail", "price_history"};

constexpr std::array<Words, 14> kColumns = {"id",     "name",        "created_at", "updated_at", "amount",
                                            "status", "customer_id", "product_id", "quantity",   "price",
                                            "note",   "region_code", "valid_from", "valid_to"};

constexpr std::array<Words, 8> kColumnTypes = {"number(10)", "number(12,2)", "varchar2(80)", "varchar2(400)",
                                               "date",       "timestamp",    "char(1)",      "varchar2(30)"};

constexpr std::array<Words, 6> kStatuses = {"'open'", "'closed'", "'pending'", "'void'", "'shipped'", "'held'"};

constexpr std::array<Words, 20> kCommentWords = {
    "rebuild", "the",     "summary", "for",    "each",     "region",  "keeps", "history",  "rows",    "older",
    "than",    "release", "needs",   "manual", "clean-up", "indexes", "after", "the load", "checked", "by DBA"};

// Macros the full script sets once, at the top. Names are letters only so that a reference
// ends at the first character that is not a letter ("&prefix_orders" uses "prefix").
struct Macro {
    std::string_view name;
    std::string_view value;
};
constexpr std::array<Macro, 6> kMacros = {{{"schema", "app"},
                                           {"tspace", "users_data"},
                                           {"owner", "app_owner"},
                                           {"rows", "1000"},
                                           {"prefix", "tw"},
                                           {"grantee", "report_role"}}};

class ScriptWriter {
public:
    ScriptWriter(const ScriptOptions& options, const std::function<void(std::string_view)>& sink)
        : rng_(options.seed),
          full_(options.mode == ScriptMode::Full),
          target_(options.targetBytes),
          sink_(sink),
          eol_(full_ ? "\r\n" : "\n")
    {
        buf_.reserve(kChunkBytes + 4096);
    }

    std::uint64_t Run()
    {
        Header();
        while (Size() < target_) Item();
        while (!open_.empty()) CloseBlock();
        Flush();
        return written_;
    }

private:
    struct Block {
        std::string_view symbol;
        bool hasElse = false;
    };

    std::uint64_t Size() const { return written_ + buf_.size(); }

    void Flush()
    {
        if (buf_.empty()) return;
        sink_(buf_);
        written_ += buf_.size();
        buf_.clear();
    }

    void Put(std::string_view text) { buf_ += text; }
    void PutNumber(std::uint64_t n)
    {
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
        (void)ec;
        buf_.append(digits, end);
    }
    void EndLine()
    {
        buf_ += eol_;
        if (buf_.size() >= kChunkBytes) Flush();
    }
    void Line(std::string_view text)
    {
        Put(text);
        EndLine();
    }

    // A table name, qualified by the schema macro in most full-script references.
    void PutTable(std::string_view table)
    {
        if (full_) {
            std::uint32_t r = rng_.Below(10);
            if (r < 6) {
                Put("&schema.");
            } else if (r < 7) {
                Put("&prefix_");
            }
        }
        Put(table);
    }

    void PutIndent()
    {
        if (full_ && rng_.Chance(5)) {
            Put("\t");
        } else {
            Put(rng_.Chance(50) ? "  " : "    ");
        }
    }

    // An inline block comment, now and then, in the full script.
    void MaybeInlineComment()
    {
        if (full_ && rng_.Chance(8)) {
            Put(" /* ");
            Put(rng_.Pick(kCommentWords));
            Put(" ");
            Put(rng_.Pick(kCommentWords));
            Put(" */");
        }
    }

    // A trailing "--" remark, now and then, in the full script.
    void MaybeTrailingRemark()
    {
        if (full_ && rng_.Chance(6)) {
            Put(" -- ");
            Put(rng_.Pick(kCommentWords));
        }
    }

    // --- directives ----------------------------------------------------------------------------

    void Directive(std::string_view keyword, std::string_view argument)
    {
        if (full_) {
            if (rng_.Chance(8)) Put("  ");
            std::uint32_t spelling = rng_.Below(100);
            if (spelling < 5) {
                Put("#");
                for (char c : keyword) buf_ += static_cast<char>(c - 'a' + 'A');
            } else if (spelling < 10) {
                Put("#");
                buf_ += static_cast<char>(keyword[0] - 'a' + 'A');
                Put(keyword.substr(1));
            } else {
                Put("#");
                Put(keyword);
            }
        } else {
            Put("#");
            Put(keyword);
        }
        if (!argument.empty()) {
            Put(full_ && rng_.Chance(5) ? "  " : " ");
            Put(argument);
        }
        EndLine();
    }

    std::string_view PickSymbol() { return rng_.Chance(70) ? rng_.Pick(kVersionSymbols) : rng_.Pick(kFeatureSymbols); }

    void OpenBlock()
    {
        bool negated = full_ && rng_.Chance(30);
        std::string_view symbol = PickSymbol();
        Directive(negated ? "ifndef" : "ifdef", symbol);
        open_.push_back({symbol});
    }

    void ElseBranch()
    {
        open_.back().hasElse = true;
        if (full_ && rng_.Chance(15)) {
            Directive("else", "-- otherwise");
        } else {
            Directive("else", "");
        }
    }

    void CloseBlock()
    {
        open_.pop_back();
        if (full_ && rng_.Chance(15)) {
            Directive("endif", "-- end of block");
        } else {
            Directive("endif", "");
        }
    }

    void DefineOrUndefine()
    {
        std::string_view symbol = rng_.Pick(kFeatureSymbols);
        if (!full_) {
            // Our blocks are active while their condition holds now, the C preprocessor's while
            // it held at the #ifdef: the two agree only if no open block tests the symbol.
            for (const Block& block : open_) {
                if (block.symbol == symbol) {
                    Statement();
                    return;
                }
            }
            Directive("define", symbol);
            return;
        }
        Directive(rng_.Chance(40) ? "undef" : "define", symbol);
    }

    // --- text ----------------------------------------------------------------------------------

    void Header()
    {
        if (full_) {
            Line("-- Generated load script: tables, data fixes and grants for every SQL version.");
            Put("-- seed ");
            PutNumber(rng_.Below(1000000));
            EndLine();
            Line("/*");
            Line("   Macros below are set once; the rest of the script refers to them.");
            Line("*/");
            for (const Macro& m : kMacros) {
                Put("#set ");
                Put(m.name);
                Put(" = ");
                Put(m.value);
                EndLine();
            }
            Line("");
        } else {
            Line("create table settings (id number(10), value varchar2(80));");
        }
    }

    void Item()
    {
        std::uint32_t r = rng_.Below(1000);
        if (r < 80) {
            if (open_.size() < kMaxDepth) {
                OpenBlock();
            } else {
                CloseBlock();
            }
            return;
        }
        r -= 80;
        if (r < 80) {
            if (!open_.empty()) {
                CloseBlock();
            } else {
                OpenBlock();
            }
            return;
        }
        r -= 80;
        if (r < 35) {
            if (!open_.empty() && !open_.back().hasElse) {
                ElseBranch();
            } else {
                Statement();
            }
            return;
        }
        r -= 35;
        if (r < 20) {
            DefineOrUndefine();
            return;
        }
        r -= 20;
        if (r < 40) {
            Line("");
            return;
        }
        r -= 40;
        if (full_ && r < 60) {
            CommentLine();
            return;
        }
        if (full_ && r < 85) {
            BlockComment();
            return;
        }
        Statement();
    }

    void CommentLine()
    {
        Put("-- ");
        std::uint32_t words = 2 + rng_.Below(8);
        for (std::uint32_t i = 0; i < words; ++i) {
            if (i) Put(" ");
            Put(rng_.Pick(kCommentWords));
        }
        if (rng_.Chance(10)) Put(" (R&D)");
        EndLine();
    }

    void BlockComment()
    {
        if (rng_.Chance(30)) {
            // Code before the opening delimiter stays.
            Put("select count(*) from ");
            PutTable(rng_.Pick(kTables));
            Put("; /* ");
        } else {
            Put("/* ");
        }
        Put(rng_.Pick(kCommentWords));
        EndLine();
        std::uint32_t lines = 1 + rng_.Below(5);
        for (std::uint32_t i = 0; i < lines; ++i) {
            Put("   ");
            if (rng_.Chance(15)) Put("-- ");
            std::uint32_t words = 3 + rng_.Below(7);
            for (std::uint32_t w = 0; w < words; ++w) {
                if (w) Put(" ");
                Put(rng_.Pick(kCommentWords));
            }
            if (rng_.Chance(10)) Put(" & more");
            EndLine();
        }
        if (rng_.Chance(30)) {
            Put("*/ commit;");
        } else {
            Put("*/");
        }
        EndLine();
    }

    void Statement()
    {
        switch (rng_.Below(8)) {
        case 0: CreateTable(); break;
        case 1:
        case 2: Insert(); break;
        case 3:
        case 4: Select(); break;
        case 5: Update(); break;
        case 6: Grant(); break;
        default: PlsqlBlock(); break;
        }
    }

    void CreateTable()
    {
        std::string_view table = rng_.Pick(kTables);
        Put("create table ");
        PutTable(table);
        Put(" (");
        EndLine();
        std::uint32_t columns = 3 + rng_.Below(7);
        for (std::uint32_t i = 0; i < columns; ++i) {
            PutIndent();
            Put(rng_.Pick(kColumns));
            Put("_");
            PutNumber(i);
            Put(" ");
            Put(rng_.Pick(kColumnTypes));
            if (rng_.Chance(30)) Put(" not null");
            Put(",");
            MaybeInlineComment();
            MaybeTrailingRemark();
            EndLine();
        }
        PutIndent();
        Put("constraint pk_");
        Put(table);
        Put(" primary key (id_0)");
        EndLine();
        if (full_) {
            Line(") tablespace &tspace;");
        } else {
            Line(");");
        }
    }

    void Insert()
    {
        Put("insert into ");
        PutTable(rng_.Pick(kTables));
        Put(" (id, amount, status, note)");
        EndLine();
        PutIndent();
        Put("values (");
        PutNumber(rng_.Below(100000));
        Put(", ");
        PutNumber(rng_.Below(10000));
        Put(".");
        PutNumber(10 + rng_.Below(90));
        Put(", ");
        Put(rng_.Pick(kStatuses));
        Put(", '");
        if (full_ && rng_.Chance(20)) {
            Put("Smith && Sons");
        } else {
            Put(rng_.Pick(kCommentWords));
        }
        Put("');");
        MaybeInlineComment();
        EndLine();
    }

    void Select()
    {
        Put("select ");
        std::uint32_t columns = 1 + rng_.Below(4);
        for (std::uint32_t i = 0; i < columns; ++i) {
            if (i) Put(", ");
            Put("t.");
            Put(rng_.Pick(kColumns));
        }
        MaybeInlineComment();
        EndLine();
        Put("  from ");
        PutTable(rng_.Pick(kTables));
        Put(" t");
        EndLine();
        if (rng_.Chance(40)) {
            Put("  join ");
            PutTable(rng_.Pick(kTables));
            Put(" u on u.id = t.");
            Put(rng_.Pick(kColumns));
            EndLine();
        }
        Put(" where t.status = ");
        Put(rng_.Pick(kStatuses));
        MaybeTrailingRemark();
        EndLine();
        if (rng_.Chance(50)) {
            Put("   and t.amount > ");
            PutNumber(rng_.Below(5000));
            MaybeInlineComment();
            EndLine();
        }
        if (full_ && rng_.Chance(30)) {
            Line("   and rownum <= &rows");
        }
        Line(" order by 1;");
    }

    void Update()
    {
        Put("update ");
        PutTable(rng_.Pick(kTables));
        Put(" set status = ");
        Put(rng_.Pick(kStatuses));
        Put(", updated_at = sysdate where id = ");
        PutNumber(rng_.Below(100000));
        Put(";");
        MaybeInlineComment();
        MaybeTrailingRemark();
        EndLine();
    }

    void Grant()
    {
        Put("grant select, insert on ");
        PutTable(rng_.Pick(kTables));
        Put(full_ ? (rng_.Chance(50) ? " to &owner;" : " to &grantee;") : " to report_role;");
        EndLine();
    }

    void PlsqlBlock()
    {
        Line("begin");
        Put("  for r in (select id from ");
        PutTable(rng_.Pick(kTables));
        Put(full_ ? " where rownum <= &rows) loop" : " where rownum <= 1000) loop");
        EndLine();
        Put("    update ");
        PutTable(rng_.Pick(kTables));
        Put(" set amount = amount * 1.0");
        PutNumber(rng_.Below(10));
        Put(" where id = r.id;");
        EndLine();
        Line("  end loop;");
        Line("  commit;");
        Line("end;");
        Line("/");
    }

    Rng rng_;
    bool full_;
    std::uint64_t target_;
    const std::function<void(std::string_view)>& sink_;
    std::string_view eol_;
    std::string buf_;
    std::uint64_t written_ = 0;
    std::vector<Block> open_;
};

}  // namespace

std::optional<ScriptMode> ParseScriptMode(std::string_view name)
{
    if (name == "full") return ScriptMode::Full;
    if (name == "cpp") return ScriptMode::Cpp;
    return std::nullopt;
}

std::string_view ScriptModeName(ScriptMode mode) { return mode == ScriptMode::Full ? "full" : "cpp"; }

std::uint64_t GenerateScript(const ScriptOptions& options, const std::function<void(std::string_view)>& sink)
{
    ScriptWriter writer(options, sink);
    return writer.Run();
}

std::string GenerateScript(const ScriptOptions& options)
{
    std::string script;
    if (options.targetBytes < std::numeric_limits<std::size_t>::max() / 2) {
        script.reserve(static_cast<std::size_t>(options.targetBytes) + 4096);
    }
    GenerateScript(options, [&script](std::string_view piece) { script += piece; });
    return script;
}

bool WriteScriptFile(const std::filesystem::path& file, const ScriptOptions& options, bool lfOnly)
{
    std::ofstream out(file, std::ios::binary);
    std::string unix;
    GenerateScript(options, [&](std::string_view piece) {
        if (lfOnly) {
            unix.assign(piece);
            std::erase(unix, '\r');
            piece = unix;
        }
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    out.close();
    return static_cast<bool>(out);
}

std::optional<std::uint64_t> ParseByteSize(std::string_view text)
{
    std::uint64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end == first || value == 0) return std::nullopt;
    std::string_view suffix(end, static_cast<std::size_t>(last - end));
    unsigned shift = 0;
    if (suffix.empty()) {
        shift = 0;
    } else if (suffix == "K" || suffix == "k") {
        shift = 10;
    } else if (suffix == "M" || suffix == "m") {
        shift = 20;
    } else if (suffix == "G" || suffix == "g") {
        shift = 30;
    } else {
        return std::nullopt;
    }
    if (shift && value > (std::numeric_limits<std::uint64_t>::max() >> shift)) return std::nullopt;
    return value << shift;
}

}  // namespace tarnwick::bench
