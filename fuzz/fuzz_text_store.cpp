// libFuzzer target for the text store: the input is read as a list of edits (insertions of
// arbitrary bytes and deletions at arbitrary places) applied to a store and, in their
// normalised form, to a plain string. After the edits the store must hold exactly the string,
// with records that obey the store's rules, and read back the same through the character stream.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/char_streams.h"
#include "editor/text_store.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Check(const tarnwick::TTextStore& store, const std::string& model)
{
    if (store.CharCount() != static_cast<std::int64_t>(model.size())) Fail("character count");
    if (store.Text() != model) Fail("text");
    std::int64_t lines = 0, offset = 0;
    const tarnwick::TLineRecord* previous = nullptr;
    for (tarnwick::TLineRecord* r = store.FirstLine(); r; r = store.Next(r), ++lines) {
        const std::string_view text = r->View();
        if (text.empty() || text.size() > tarnwick::TTextStore::kMaxRecordLength) Fail("record length");
        const auto cr = text.find('\r');
        if (cr != std::string_view::npos && cr != text.size() - 1) Fail("break inside a record");
        if (r->IsContinuation() != (previous && !previous->EndsWithBreak())) Fail("continuation mark");
        if (store.OffsetOf(r) != offset || store.IndexOf(r) != lines) Fail("record position");
        if (store.FromOffset(offset).record != r || store.FromLine(lines).record != r) Fail("lookup");
        offset += static_cast<std::int64_t>(text.size());
        previous = r;
    }
    if (lines != store.LineCount()) Fail("line count");

    tarnwick::TEdStream stream(&store);
    std::string read(model.size(), '\0');
    if (stream.Read(read.data(), read.size()) != model.size() || read != model) Fail("stream read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tarnwick::TTextStore store;
    std::string model;
    std::size_t i = 0;
    auto next = [&]() -> std::uint32_t { return i < size ? data[i++] : 0; };
    int edits = 0;
    while (i < size && edits++ < 64) {
        const std::uint32_t op = next();
        const std::uint32_t where = next() | (next() << 8);
        if (op & 1) {
            const std::size_t length = std::min<std::size_t>(next() * ((op & 2) ? 40 : 1), size - i);
            const std::string text(reinterpret_cast<const char*>(data + i), length);
            i += length;
            const std::int64_t at = model.empty() ? 0 : where % (model.size() + 1);
            store.Insert(at, text);
            model.insert(static_cast<std::size_t>(at), tarnwick::NormalizeText(text));
        } else if (!model.empty()) {
            const std::int64_t at = where % model.size();
            const std::int64_t length = next() * ((op & 2) ? 64 : 1);
            const std::int64_t end = std::min<std::int64_t>(at + length, static_cast<std::int64_t>(model.size()));
            store.Delete(at, end);
            model.erase(static_cast<std::size_t>(at), static_cast<std::size_t>(end - at));
        }
    }
    Check(store, model);
    return 0;
}
