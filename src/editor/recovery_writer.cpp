#include "editor/recovery_writer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <system_error>

#include "base/file_io.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick {

RecoveryWriter::RecoveryWriter(fs::path file, RecoveryHead head) : file_(std::move(file)), head_(std::move(head))
{
    thread_ = std::thread([this] { Run(); });
}

RecoveryWriter::~RecoveryWriter()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    std::error_code ec;
    fs::remove(file_, ec);
}

void RecoveryWriter::ExpectSize(std::int64_t size)
{
    std::lock_guard lock(mutex_);
    queued_.push_back({Op::Expect, size, 0, {}});
}

void RecoveryWriter::Append(std::string text)
{
    std::lock_guard lock(mutex_);
    queued_.push_back({Op::Append, 0, 0, std::move(text)});
}

void RecoveryWriter::TextComplete()
{
    std::lock_guard lock(mutex_);
    queued_.push_back({Op::Complete, 0, 0, {}});
}

void RecoveryWriter::Insert(std::int64_t offset, std::string text)
{
    std::lock_guard lock(mutex_);
    queued_.push_back({Op::Insert, offset, 0, std::move(text)});
}

void RecoveryWriter::Delete(std::int64_t start, std::int64_t end)
{
    std::lock_guard lock(mutex_);
    queued_.push_back({Op::Delete, start, end, {}});
}

void RecoveryWriter::SetHead(RecoveryHead head)
{
    std::lock_guard lock(mutex_);
    newHead_ = std::move(head);
}

void RecoveryWriter::Flush()
{
    {
        std::lock_guard lock(mutex_);
        ++flushAsked_;
    }
    wake_.notify_all();
}

void RecoveryWriter::WaitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return flushDone_ == flushAsked_ || stop_; });
}

std::optional<std::string> RecoveryWriter::TakeError()
{
    std::lock_guard lock(mutex_);
    if (!error_ || errorTold_) return std::nullopt;
    errorTold_ = true;
    return error_;
}

RecoveryWriter::Counts RecoveryWriter::Done() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

void RecoveryWriter::Fail(const std::string& message)
{
    std::lock_guard lock(mutex_);
    if (!error_) error_ = message;
}

void RecoveryWriter::Run()
{
    for (;;) {
        std::vector<Op> ops;
        std::optional<RecoveryHead> head;
        std::uint64_t asked = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || flushAsked_ != flushDone_; });
            if (stop_) break;
            ops.swap(queued_);
            head.swap(newHead_);
            asked = flushAsked_;
        }
        try {
            WriteOut(ops, head);
        } catch (const std::bad_alloc&) {
            // The copy of the text is incomplete from here on: nothing more is written.
            complete_ = false;
            wholeWritten_ = false;
            text_.Clear();
            Fail("not enough memory to keep a copy of the text");
        }
        {
            std::lock_guard lock(mutex_);
            flushDone_ = asked;
        }
        idle_.notify_all();
    }
    idle_.notify_all();
}

void RecoveryWriter::WriteOut(std::vector<Op>& ops, std::optional<RecoveryHead>& head)
{
    std::string records;
    bool outOfStep = false;
    for (Op& op : ops) {
        const bool journal = complete_ && wholeWritten_;
        switch (op.kind) {
        case Op::Expect: text_.Reserve(op.a); break;
        case Op::Append:
            text_.Append(op.text);
            std::string().swap(op.text);  // the slices of a long text are not held twice
            break;
        case Op::Complete: complete_ = true;
#ifdef __GLIBC__
            // The slices were freed on this thread, in its own heap: give their memory back.
            ::malloc_trim(0);
#endif
            break;
        case Op::Insert:
            if (op.a < 0 || op.a > text_.Size()) {
                outOfStep = true;
                break;
            }
            text_.Insert(op.a, op.text);
            if (journal) records += EncodeInsertRecord(op.a, op.text);
            break;
        case Op::Delete:
            if (op.a < 0 || op.a > op.b || op.b > text_.Size()) {
                outOfStep = true;
                break;
            }
            text_.Delete(op.a, op.b);
            if (journal) records += EncodeDeleteRecord(op.a, op.b);
            break;
        }
    }
    if (outOfStep) {
        // The caller broke the order of its calls; the copy cannot be trusted.
        complete_ = false;
        wholeWritten_ = false;
        text_.Clear();
        Fail("the copy of the text went out of step");
        return;
    }
    if (head) {
        head_ = std::move(*head);
        if (wholeWritten_) records += EncodeHeadRecord(head_);
    }
    if (!complete_) return;
    const std::int64_t limit = std::max<std::int64_t>(kMinJournalBytes, text_.Size() / 2);
    if (!wholeWritten_ || journalBytes_ + static_cast<std::int64_t>(records.size()) > limit) {
        if (WriteWhole()) {
            wholeWritten_ = true;
            journalBytes_ = 0;
        }
        return;
    }
    if (records.empty()) return;
    if (AppendRecords(records)) {
        journalBytes_ += static_cast<std::int64_t>(records.size());
    } else {
        // A change half appended would hide the ones after it: the next flush writes it all anew.
        wholeWritten_ = false;
    }
}

bool RecoveryWriter::WriteWhole()
{
    if (text_.Size() > std::numeric_limits<std::uint32_t>::max()) {
        Fail("the text is too long for a recovery file");
        return false;
    }
    const std::string start = EncodeRecoveryStart(head_);
    const std::string frame = EncodeTextRecordFrame(text_.Front(), text_.Back());
    const std::array<std::string_view, 4> pieces{start, frame, text_.Front(), text_.Back()};
    if (!WriteWholeFile(file_, pieces)) {
        Fail("cannot write " + file_.string());
        return false;
    }
#ifndef _WIN32
    // The new name reaches the disk too, not only the data.
    if (const int dir = ::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
#endif
    std::lock_guard lock(mutex_);
    ++counts_.wholeWrites;
    return true;
}

bool RecoveryWriter::AppendRecords(const std::string& records)
{
    bool ok = false;
#ifndef _WIN32
    const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
        const std::string_view piece(records);
        ok = WritePieces(fd, std::span<const std::string_view>(&piece, 1)) && ::fdatasync(fd) == 0;
        if (::close(fd) != 0) ok = false;
    }
#else
    if (std::FILE* f = std::fopen(file_.string().c_str(), "ab")) {
        ok = std::fwrite(records.data(), 1, records.size(), f) == records.size() && std::fflush(f) == 0;
        if (std::fclose(f) != 0) ok = false;
    }
#endif
    if (!ok) {
        Fail("cannot write " + file_.string());
        return false;
    }
    std::lock_guard lock(mutex_);
    ++counts_.appends;
    return true;
}

}  // namespace tarnwick
