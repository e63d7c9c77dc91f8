#pragma once
// What the files of the editor options dialog share: naming a widget, the item data that marks a
// list entry, the text conversions, and the two parts of a two-column entry ("NAME<TAB>TEXT").

#include <QLatin1String>
#include <QString>
#include <string>
#include <string_view>

#include "platform/qt/qt_text.h"

namespace tarnwick::ui::options_detail {

// A widget with the name tests and style sheets find it by.
template <class Widget>
Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The role under which a list entry keeps what it stands for (a style index, an element, a
// command).
inline constexpr int kItemData = Qt::UserRole;

inline QString Q(std::string_view text) { return ToQString(text); }
inline std::string S(const QString& text) { return FromQString(text); }

// The name part of a two-column entry and the rest.
inline QString NamePart(const QString& entry) { return entry.section(QLatin1Char('\t'), 0, 0); }
inline QString RestPart(const QString& entry)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : entry.mid(tab + 1);
}

}  // namespace tarnwick::ui::options_detail
