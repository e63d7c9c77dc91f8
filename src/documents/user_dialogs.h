#pragma once
// What the windows ask of the person at the screen and of the desktop: the close question, the
// open and save dialogs, error and information boxes, and opening a document with the desktop's
// program for it. One object serves the frame and every edit window; a test puts its own in
// place to answer without dialogs.

#include <QString>
#include <QStringList>
#include <optional>

class QUrl;
class QWidget;

namespace tarnwick::ui {

class UserDialogs {
public:
    enum class Answer { Yes, No, Cancel };
    struct OpenChoice {
        QString file;
        bool readOnly = false;  // the open-as-read-only box was ticked
    };

    virtual ~UserDialogs() = default;

    // A confirmation box with Yes, No and Cancel (Escape and closing the box answer Cancel).
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& question);
    // The file-open dialog (SQL files, text files, all files; default extension "sql"; the
    // open-as-read-only box). Nothing when cancelled.
    virtual std::optional<OpenChoice> AskOpenFile(QWidget* parent);
    // The file-save dialog with `preset` filled in; it asks before replacing a file and refuses
    // read-only files and missing folders. Nothing when cancelled.
    virtual std::optional<QString> AskSaveFile(QWidget* parent, const QString& preset);
    virtual void ShowError(QWidget* parent, const QString& text);
    virtual void ShowInformation(QWidget* parent, const QString& text);
    // Opens a local document with the desktop's program for it; false when that failed.
    virtual bool OpenDocument(const QString& file);

    // The filters of both file dialogs and the extension added to a name typed without one.
    static QStringList FileFilters();
    static QString DefaultSuffix();

protected:
    // The folder the file dialogs start in: the one last used.
    QString lastFolder_;
};

}  // namespace tarnwick::ui
