#pragma once
// The code templates' pick list: a small list below the caret line, each item the template's
// description and, in bold, its name. Enter or a double click takes the chosen template, Esc
// gives the focus back to the editor, and typed characters find a template by its name.

#include <QListWidget>
#include <string>
#include <vector>

namespace tarnwick {
class TMacroKeywords;
class MacroTarget;
}  // namespace tarnwick

namespace tarnwick::ui {

class PickList : public QListWidget {
    Q_OBJECT

public:
    // A list over `list`'s entries (`items` as "description" TAB "name"), for `target`; it
    // deletes itself when it loses the focus.
    PickList(QWidget* parent, TMacroKeywords& list, MacroTarget& target, const std::vector<std::string>& items,
             int selected);

    // Width of the widest description and of the widest name.
    int DescriptionWidth() const { return descriptionWidth_; }
    int NameWidth() const { return nameWidth_; }
    // Places the list below the line whose top is `lineTop` (above it when there is no room),
    // starting at x (moved left when it would pass the right edge of the parent).
    void Place(int x, int lineTop, int lineHeight);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Accept();
    void Close();

    TMacroKeywords& list_;
    MacroTarget& target_;
    int descriptionWidth_ = 0;
    int nameWidth_ = 0;
    bool closed_ = false;
};

}  // namespace tarnwick::ui
