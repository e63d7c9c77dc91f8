#pragma once
// Keeps the recovery file of one edit window while its text holds unsaved changes.
//
// The recorder listens to the window's text store. A change starts a delay (kDelay); when it has
// passed and the text is still modified, the recorder hands the text to a RecoveryWriter in
// slices, one slice per turn of the event loop, so that typing is never held up for long, and the
// writer's thread writes the file. From then on every change goes to the writer as it happens,
// and once per delay the writer is told to bring the file up to date. A text that is no longer
// modified (saved, or its changes undone) loses its file, as does the window when it goes.

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "editor/recovery_file.h"
#include "editor/recovery_writer.h"
#include "editor/text_store.h"

namespace tarnwick {
class VOzuvavIdav;
}

namespace tarnwick::ui {

class RecoveryRecorder : public QObject, public TextStoreListener {
    Q_OBJECT

public:
    // The time from a change to the write that takes it, in milliseconds.
    static constexpr int kDelay = 2000;
    // The characters copied in one turn of the event loop while the text is handed over.
    static constexpr std::int64_t kSlice = 1 << 20;

    // `head` tells the script's name and how it is saved, asked at every write.
    RecoveryRecorder(tarnwick::VOzuvavIdav& control, std::function<RecoveryHead()> head, QObject* parent = nullptr);
    ~RecoveryRecorder() override;

    // The file to keep; empty: none is kept. Only a window without changes gets a new one.
    void SetFile(const std::filesystem::path& file);
    const std::filesystem::path& File() const { return file_; }
    // The text was saved or its changes discarded: the file goes, until the next change.
    void Reset();
    void SetDelay(int milliseconds) { delay_.setInterval(milliseconds); }
    void SetSlice(std::int64_t characters) { slice_ = std::max<std::int64_t>(1, characters); }

    // Called with a message the first time the file cannot be written.
    std::function<void(const QString&)> onError;

    // For tests and measurements: the writer while the file is kept, and whether the text has
    // been handed over whole.
    RecoveryWriter* Writer() const { return writer_.get(); }
    bool Complete() const { return complete_; }

    // TextStoreListener
    void TextChanged(std::int64_t offset, std::int64_t delta) override;

private:
    void DelayPassed();
    void CopySlice();
    void Flush();

    tarnwick::VOzuvavIdav& control_;
    TTextStore& store_;
    std::function<RecoveryHead()> head_;
    std::filesystem::path file_;
    QTimer delay_;
    QTimer slicer_;
    std::unique_ptr<RecoveryWriter> writer_;
    RecoveryHead written_;
    std::int64_t slice_ = kSlice;
    std::int64_t copied_ = 0;  // characters handed over while the copy is being made
    bool complete_ = false;
};

}  // namespace tarnwick::ui
