#pragma once
// What an edit window needs of the frame window that holds it.

#include <QSet>
#include <QString>
#include <filesystem>

namespace tarnwick {
class KeyValueStore;
}

namespace tarnwick::ui {

class TEditForm;
class UserDialogs;
struct FrameActions;

class EditFrame {
public:
    virtual ~EditFrame() = default;

    // The frame's actions; the window's menus are bound to them and it enables them.
    virtual const FrameActions& Actions() const = 0;
    // The texts of the frame's four status panels.
    virtual void SetStatusPanel(int index, const QString& text) = 0;
    // The edit window the frame's actions work on, or null.
    virtual TEditForm* ActiveEditForm() const = 0;
    // Opens the file in a new edit window of the frame.
    virtual void OpenInNewWindow(const QString& file) = 0;
    // A file was opened or saved in an edit window: the frame's recent-files list and the
    // window's take it.
    virtual void FileUsed(TEditForm& form, const QString& file) = 0;
    // A recent-files entry of an edit window's menu was chosen.
    virtual void RecentFileSelected(const QString& file) = 0;
    // True while the program closes: the windows then leave the frame's actions and status alone.
    virtual bool Terminating() const = 0;
    // The user's settings (the registry on Windows).
    virtual KeyValueStore& Registry() = 0;
    virtual UserDialogs& Dialogs() = 0;
    // The folder of the program's option files (".edf", ".cdf", ".tpl", ".arp").
    virtual std::filesystem::path OptionFolder() const = 0;

    // A setting of the user's found unreadable while a window opened is told once, not by every
    // window: true the first time this text is noted.
    bool FirstNotice(const QString& text)
    {
        if (told_.contains(text)) return false;
        told_.insert(text);
        return true;
    }

private:
    QSet<QString> told_;
};

}  // namespace tarnwick::ui
