// Runs the HTML paste filter over arbitrary data. The first two bytes choose the source-type bits
// (little-endian), the rest is the pasted data. The result must be a part of the data (a view
// into it), and it must be the part each rule names:
//  - filtering off: the data itself;
//  - from the first tag: the data from its first "<" (all of it when there is none);
//  - fragment: as above, or exactly the text between a start marker and the next end marker,
//    the start marker being the first one after the first "<".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "editor/export_writers.h"

using namespace tarnwick;

namespace {

void Check(bool ok)
{
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 2) return 0;
    const auto types = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    const std::string_view data(reinterpret_cast<const char*>(bytes) + 2, size - 2);
    const std::string_view out = FilterHtmlPaste(data, types);

    Check(out.size() <= data.size());
    Check(out.empty() || (out.data() >= data.data() && out.data() + out.size() <= data.data() + data.size()));

    const bool active =
        (types & stHTML) && !(types & stNoHTMLFilter) && (types & (stHTMLFromFirstTag | stHTMLFragment));
    if (!active) {
        Check(out.data() == data.data() && out.size() == data.size());
        return 0;
    }
    const std::size_t tag = data.find('<');
    const std::string_view fromTag = tag == std::string_view::npos ? data : data.substr(tag);
    if (types & stHTMLFromFirstTag) {
        Check(out.data() == fromTag.data() && out.size() == fromTag.size());
        return 0;
    }
    if (out.data() == fromTag.data() && out.size() == fromTag.size()) {
        // Kept whole: there must be no start marker followed by an end marker.
        const std::size_t start = fromTag.find("<!--StartFragment-->");
        Check(start == std::string_view::npos ||
              fromTag.find("<!--EndFragment-->", start + 20) == std::string_view::npos);
        return 0;
    }
    // Cut out: preceded by the first start marker, followed by an end marker, with no end marker inside.
    const std::size_t at = static_cast<std::size_t>(out.data() - fromTag.data());
    Check(at >= 20 && fromTag.substr(at - 20, 20) == "<!--StartFragment-->");
    Check(fromTag.find("<!--StartFragment-->") == at - 20);
    Check(fromTag.substr(at + out.size()).starts_with("<!--EndFragment-->"));
    Check(out.find("<!--EndFragment-->") == std::string_view::npos);
    return 0;
}
