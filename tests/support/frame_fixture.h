#pragma once
// The program's frame with all it reads kept apart from the user's own: option files and a
// settings file in a temporary folder, and scripted answers to its questions. Window tests derive
// from it beside QObject, set the folder up in init(), open the frame in the test and close
// everything in cleanup().

#include <QString>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string_view>

#include "app/frame_form.h"
#include "platform/qt/qt_key_value_store.h"
#include "support/scripted_dialogs.h"
#include "temp_folder.h"

namespace tarnwick::testing {

// A path as Qt spells it.
inline QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

class FrameFixture {
protected:
    std::unique_ptr<TempFolder> dir;
    std::unique_ptr<QtKeyValueStore> registry;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<ui::TFrameForm> frame;

    // A fresh folder with the version table and the common version file given, a settings file
    // in it and dialogs that answer from the test's script.
    void StartFolder(std::string_view versionTable, std::string_view commonFile)
    {
        dir = std::make_unique<TempFolder>();
        registry = std::make_unique<QtKeyValueStore>(Q(dir->Path() / "settings.ini"));
        dialogs = std::make_unique<ScriptedDialogs>();
        dir->Write("tarnwick.edf", versionTable);
        dir->Write("tarnwick.cdf", commonFile);
    }
    // The frame reads its options and manual from the folder, its settings from the file there and
    // asks the scripted dialogs.
    ui::FrameSetup Setup() const
    {
        ui::FrameSetup setup;
        setup.registry = registry.get();
        setup.dialogs = dialogs.get();
        setup.optionFolder = dir->Path();
        setup.programFolder = dir->Path();
        return setup;
    }
    // Opens the frame and waits until it is on the screen.
    void ShowFrame(const ui::FrameSetup& setup)
    {
        frame = std::make_unique<ui::TFrameForm>(setup);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }
    // Closes the frame before what it uses goes.
    void CloseAll()
    {
        frame.reset();
        dialogs.reset();
        registry.reset();
        dir.reset();
    }
};

}  // namespace tarnwick::testing
