#pragma once
// The program's single-byte text (Windows-1252) to and from QString: every byte has its character
// and comes back unchanged; a character the code page lacks becomes "?" (base/cp1252.h).

#include <QString>
#include <string>
#include <string_view>

#include "base/cp1252.h"

namespace tarnwick {

inline QString ToQString(std::string_view text1252)
{
    const std::u16string wide = Cp1252ToUtf16(text1252);
    return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

inline std::string FromQString(QStringView text)
{
    return Utf16ToCp1252(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

}  // namespace tarnwick
