#include "documents/recovery_recorder.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "control/doravavizu.h"
#include "platform/qt/qt_text.h"

namespace fs = std::filesystem;

namespace tarnwick::ui {

RecoveryRecorder::RecoveryRecorder(tarnwick::VOzuvavIdav& control, std::function<RecoveryHead()> head, QObject* parent)
    : QObject(parent), control_(control), store_(control.Store()), head_(std::move(head))
{
    delay_.setSingleShot(true);
    delay_.setInterval(kDelay);
    connect(&delay_, &QTimer::timeout, this, &RecoveryRecorder::DelayPassed);
    slicer_.setInterval(0);
    connect(&slicer_, &QTimer::timeout, this, &RecoveryRecorder::CopySlice);
    store_.AddView(this);
}

RecoveryRecorder::~RecoveryRecorder()
{
    store_.RemoveView(this);
    Reset();
}

void RecoveryRecorder::SetFile(const fs::path& file)
{
    Reset();
    file_ = file;
}

void RecoveryRecorder::Reset()
{
    delay_.stop();
    slicer_.stop();
    writer_.reset();
    complete_ = false;
    copied_ = 0;
    // Also a file the window took over and has not written yet.
    if (!file_.empty()) {
        std::error_code ec;
        fs::remove(file_, ec);
    }
}

void RecoveryRecorder::TextChanged(std::int64_t offset, std::int64_t delta)
{
    if (file_.empty() || delta == 0) return;
    if (!delay_.isActive()) delay_.start();
    if (!writer_) return;
    // While the copy is being made, only changes to the part already copied are passed on; the
    // rest reaches the copy with the slices still to come.
    if (delta > 0) {
        if (!complete_ && offset >= copied_) return;
        writer_->Insert(offset, store_.TextRange(offset, offset + delta));
        if (!complete_) copied_ += delta;
    } else {
        std::int64_t end = offset - delta;
        if (!complete_) {
            if (offset >= copied_) return;
            end = std::min(end, copied_);
            copied_ -= end - offset;
        }
        writer_->Delete(offset, end);
    }
}

void RecoveryRecorder::DelayPassed()
{
    if (!control_.Modified()) {
        Reset();
        return;
    }
    if (!writer_) {
        written_ = head_();
        writer_ = std::make_unique<RecoveryWriter>(file_, written_);
        writer_->ExpectSize(store_.CharCount());
        copied_ = 0;
        complete_ = false;
        slicer_.start();
        return;
    }
    if (complete_) Flush();
}

void RecoveryRecorder::CopySlice()
{
    const std::int64_t count = std::min(slice_, store_.CharCount() - copied_);
    if (count > 0) {
        std::string slice(static_cast<std::size_t>(count), '\0');
        slice.resize(store_.CopyText(copied_, slice.data(), slice.size()));
        if (slice.empty()) {
            // The store gave nothing where it counts characters: no copy can be made.
            Reset();
            return;
        }
        copied_ += static_cast<std::int64_t>(slice.size());
        writer_->Append(std::move(slice));
        // Taken into the writer's copy at once (nothing is written before the copy is complete),
        // so that the slices do not pile up in its queue.
        writer_->Flush();
    }
    if (copied_ < store_.CharCount()) return;
    slicer_.stop();
    complete_ = true;
    writer_->TextComplete();
    Flush();
}

void RecoveryRecorder::Flush()
{
    const RecoveryHead head = head_();
    if (!(head == written_)) {
        writer_->SetHead(head);
        written_ = head;
    }
    writer_->Flush();
    if (std::optional<std::string> error = writer_->TakeError(); error && onError) onError(ToQString(*error));
}

}  // namespace tarnwick::ui
