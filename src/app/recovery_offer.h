#pragma once
// The recovery folder of a running program, and the offer of the scripts that a program which
// ended without closing its windows (a crash, a kill) left there.
//
// Each running program is a session with an id of its own and a lock file in the folder; each of
// its windows keeps "<session>-<serial>.twr". A file whose session's lock nobody holds belongs to
// a program that is gone; the first program to take the lock offers it. A file that cannot be
// read is renamed to end in ".damaged" and reported, so that it is neither offered again nor lost.

#include <QDateTime>
#include <QDialog>
#include <QLockFile>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "editor/recovery_file.h"

class QTreeWidget;
class QLabel;

namespace tarnwick::ui {

// The folder that keeps unsaved texts for recovery: "recovery" in the user's data folder.
QString DefaultRecoveryFolder();

// A script left by a session that is gone.
struct LeftoverScript {
    QString file;  // the recovery file
    RecoveredScript script;
    QDateTime changed;  // when the file was last written
};

// A recovery file that could not be read.
struct DamagedRecovery {
    QString file;    // its name in the folder
    QString aside;   // the name it was set aside under; empty when it could not be renamed
    QString reason;  // why it could not be read
};

class RecoverySession {
public:
    // Takes the folder (made when missing, readable by the user alone) and the session's lock.
    explicit RecoverySession(const QString& folder);
    // Releases the lock; the session's lock file goes.
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;

    // False when the folder or the lock could not be made: no recovery files are kept.
    bool Usable() const { return usable_; }
    const QString& Folder() const { return folder_; }
    // A recovery file name for a new window of this session.
    std::filesystem::path NewFile();

    // The recovery files of sessions that are gone, the sessions' locks taken over until
    // ReleaseLeftovers; the damaged ones set aside in `damaged`.
    std::vector<LeftoverScript> FindLeftovers(std::vector<DamagedRecovery>& damaged);
    // Done with the leftovers: the locks taken over and their files go.
    void ReleaseLeftovers();

private:
    QString folder_;
    QString id_;
    std::unique_ptr<QLockFile> lock_;
    std::vector<std::unique_ptr<QLockFile>> taken_;
    int serial_ = 0;
    bool usable_ = false;
};

// The user's answer to the offer: for each script whether it is restored (true) or discarded;
// nullopt keeps them all for the next start.
using RecoveryChoice = std::optional<std::vector<bool>>;

// The dialog that offers the scripts: a list with a check box for each (all checked at first),
// Restore (the checked ones; the others are discarded), Discard All, and Later (Escape), which
// keeps them for the next start.
class RecoveryDialog : public QDialog {
    Q_OBJECT

public:
    RecoveryDialog(const std::vector<LeftoverScript>& scripts, QWidget* parent = nullptr);
    QTreeWidget* List() const { return list_; }
    // Runs the dialog.
    RecoveryChoice Ask();

private:
    QTreeWidget* list_ = nullptr;
    bool discardAll_ = false;
};

}  // namespace tarnwick::ui
