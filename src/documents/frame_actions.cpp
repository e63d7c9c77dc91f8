#include "documents/frame_actions.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QWidget>

#include "platform/qt/qt_glyphs.h"

namespace tarnwick::ui {

namespace {

struct ActionRow {
    QAction* FrameActions::*member;
    const char* caption;
    const char* hint;  // tool tip and status tip; none for About and Contents
    QKeySequence shortcut;
    bool enabled;       // at start
    const char* glyph;  // toolbar glyph, or null
};

constexpr const char* kUnavailable = "tarnwickUnavailable";

}  // namespace

void SetUnavailable(QAction* action)
{
    action->setProperty(kUnavailable, true);
    action->setEnabled(false);
}

bool IsUnavailable(const QAction* action) { return action->property(kUnavailable).toBool(); }

void EnableAction(QAction* action, bool enabled) { action->setEnabled(enabled && !IsUnavailable(action)); }

QList<QAction*> FrameActions::All() const
{
    return {acNew,
            acOpen,
            acExit,
            acPrinterSetup,
            acClose,
            acUndo,
            acRedo,
            acPrint,
            acSave,
            acSaveAs,
            acCut,
            acCopy,
            acPaste,
            acDelete,
            acSelectAll,
            acEditorOptions,
            acCloseAll,
            acFind,
            acReplace,
            acTileHorizontal,
            acTileVertical,
            acUpper,
            acLower,
            acConvert,
            acPreview,
            acEnvironmentOptions,
            acSaveAllVersions,
            acAbout,
            acContents};
}

QList<QAction*> FrameActions::EditingActions() const
{
    return {acUndo, acRedo, acPrint,  acSaveAllVersions, acPreview,   acSave,          acSaveAs, acPaste,
            acCut,  acCopy, acDelete, acConvert,         acSelectAll, acEditorOptions, acFind,   acReplace};
}

QIcon ToolbarGlyph(const char* name)
{
    const QPixmap pixmap = ResourcePixmap(QStringLiteral("toolbar/") + QLatin1String(name));
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

FrameActions CreateFrameActions(QWidget* owner)
{
    using A = FrameActions;
    const QKeySequence none;
    const ActionRow rows[] = {
        {&A::acNew, "&New", "New", none, true, "new"},
        {&A::acOpen, "&Open...", "Open", none, true, "open"},
        {&A::acExit, "E&xit", "Exit", none, true, nullptr},
        {&A::acPrinterSetup, "Printer &Setup...", "Printer setup", none, true, nullptr},
        {&A::acClose, "&Close", "Close", none, true, nullptr},
        {&A::acUndo, "&Undo", "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), false, "undo"},
        {&A::acRedo, "&Redo", "Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false, "redo"},
        {&A::acPrint, "&Print", "Print", QKeySequence(Qt::CTRL | Qt::Key_P), false, "print"},
        {&A::acSave, "&Save", "Save", QKeySequence(Qt::CTRL | Qt::Key_S), false, "save"},
        {&A::acSaveAs, "Save &As...", "Save as", none, false, nullptr},
        {&A::acCut, "Cu&t", "Cut", none, false, "cut"},
        {&A::acCopy, "&Copy", "Copy", none, false, "copy"},
        {&A::acPaste, "&Paste", "Paste", none, false, "paste"},
        {&A::acDelete, "De&lete", "Delete", none, false, "delete"},
        {&A::acSelectAll, "Select &All", "Select all", QKeySequence(Qt::CTRL | Qt::Key_A), false, nullptr},
        {&A::acEditorOptions, "&Editor Options...", "Editor options", none, false, "editoroptions"},
        {&A::acCloseAll, "&Close All", "Close all", none, true, nullptr},
        {&A::acFind, "&Find...", "Find", QKeySequence(Qt::Key_F3), false, "find"},
        {&A::acReplace, "&Replace...", "Replace", QKeySequence(Qt::CTRL | Qt::Key_R), false, "replace"},
        {&A::acTileHorizontal, "Tile &Horizontal", "Tile horizontal", none, true, nullptr},
        {&A::acTileVertical, "Tile &Vertical", "Tile vertical", none, true, nullptr},
        {&A::acUpper, "&Upper Case", "Upper", QKeySequence(Qt::CTRL | Qt::Key_U), true, nullptr},
        {&A::acLower, "&Lower Case", "Lower", QKeySequence(Qt::CTRL | Qt::Key_L), true, nullptr},
        {&A::acConvert, "C&onvert", "Convert", none, true, nullptr},
        {&A::acPreview, "P&review...", "Preview", QKeySequence(Qt::Key_F9), false, "preview"},
        {&A::acEnvironmentOptions, "&Environment Options...", "Environment options", none, true, "environmentoptions"},
        {&A::acSaveAllVersions, "Save All &Versions", "Save all versions", none, false, "saveversions"},
        {&A::acAbout, "&About...", nullptr, none, true, nullptr},
        {&A::acContents, "&Contents...", nullptr, none, true, nullptr},
    };
    FrameActions actions;
    for (const ActionRow& row : rows) {
        auto* action = new QAction(QString::fromLatin1(row.caption), owner);
        if (row.hint) {
            action->setToolTip(QString::fromLatin1(row.hint));
            action->setStatusTip(QString::fromLatin1(row.hint));
        }
        action->setShortcut(row.shortcut);
        action->setEnabled(row.enabled);
        if (row.glyph) action->setIcon(ToolbarGlyph(row.glyph));
        actions.*row.member = action;
    }
    // Convert does nothing itself: its entry opens the case submenu.
    auto* convert = new QMenu(owner);
    convert->addAction(actions.acUpper);
    convert->addAction(actions.acLower);
    actions.acConvert->setMenu(convert);
    // The shortcuts work wherever the focus is in the frame, also for actions in no visible menu.
    if (owner) owner->addActions(actions.All());
    return actions;
}

}  // namespace tarnwick::ui
