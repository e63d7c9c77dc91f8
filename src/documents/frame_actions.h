#pragma once
// The program's commands: one action each, owned by the frame window. The frame's menus and
// toolbar and every edit window's menus are bound to these actions; each works on the active
// edit window, which enables and disables them as its state changes.

#include <QList>

class QAction;
class QIcon;
class QMenu;
class QWidget;

namespace tarnwick::ui {

struct FrameActions {
    QAction* acNew = nullptr;
    QAction* acOpen = nullptr;
    QAction* acExit = nullptr;
    QAction* acPrinterSetup = nullptr;
    QAction* acClose = nullptr;
    QAction* acUndo = nullptr;
    QAction* acRedo = nullptr;
    QAction* acPrint = nullptr;
    QAction* acSave = nullptr;
    QAction* acSaveAs = nullptr;
    QAction* acCut = nullptr;
    QAction* acCopy = nullptr;
    QAction* acPaste = nullptr;
    QAction* acDelete = nullptr;
    QAction* acSelectAll = nullptr;
    QAction* acEditorOptions = nullptr;
    QAction* acCloseAll = nullptr;
    QAction* acFind = nullptr;
    QAction* acReplace = nullptr;
    QAction* acTileHorizontal = nullptr;
    QAction* acTileVertical = nullptr;
    QAction* acUpper = nullptr;
    QAction* acLower = nullptr;
    QAction* acConvert = nullptr;  // holds the Upper Case / Lower Case submenu
    QAction* acPreview = nullptr;
    QAction* acEnvironmentOptions = nullptr;
    QAction* acSaveAllVersions = nullptr;
    QAction* acAbout = nullptr;
    QAction* acContents = nullptr;

    // Every action, in the order of the table above.
    QList<QAction*> All() const;
    // The actions an edit window turns on and off; all disabled when the last window goes.
    QList<QAction*> EditingActions() const;
};

// An action whose command this program does not carry yet stays disabled whatever the windows
// ask; EnableAction respects it.
void SetUnavailable(QAction* action);
bool IsUnavailable(const QAction* action);
// Enables or disables the action; an unavailable one stays disabled.
void EnableAction(QAction* action, bool enabled);

// Creates the actions, owned by `owner` (the frame), with their captions, hints (tool tip and
// status tip), shortcuts, glyphs and their enabled state at start. The Convert action gets its
// submenu (Upper Case, Lower Case).
FrameActions CreateFrameActions(QWidget* owner);

// The toolbar and menu glyphs (16 x 16), by name: "new", "open", "save", "preview", "print",
// "find", "undo", "redo", "saveversions", "copy", "paste", "delete", "editoroptions",
// "environmentoptions", "cut", "replace". A null icon for any other name.
QIcon ToolbarGlyph(const char* name);

}  // namespace tarnwick::ui
