#pragma once
// Keeps one window's recovery file (recovery_file.h) up to date from a thread of its own, so
// that the window's thread never waits for the disk nor copies the whole text.
//
// The window's thread hands over what happens to the text: first the text itself in slices
// (Append, as many as it takes, then TextComplete), and interleaved with them the edits that
// touch the part already handed over (Insert, Delete), later every edit. These calls only queue
// their data. Flush asks the writer's thread to bring the file up to date: it applies the queued
// data to its own copy of the text, then either appends the edits to the file as change records
// or, the first time and whenever the changes have grown large against the text, writes the whole
// file anew beside the old one (synced to the disk, then renamed over it). Nothing is written
// before TextComplete.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "editor/recovery_file.h"

namespace tarnwick {

class RecoveryWriter {
public:
    RecoveryWriter(std::filesystem::path file, RecoveryHead head);
    // Stops the thread (a whole-file write in progress is abandoned) and removes the file.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // The length the text handed over is expected to have (room is made for it at once).
    void ExpectSize(std::int64_t size);
    void Append(std::string text);
    void TextComplete();
    void Insert(std::int64_t offset, std::string text);
    void Delete(std::int64_t start, std::int64_t end);
    // A new name or save format: written with the next flush.
    void SetHead(RecoveryHead head);
    void Flush();

    // Waits until the thread has done every flush asked for so far (for tests and benchmarks).
    void WaitIdle();
    // The first write failure not yet taken, as a message for the user.
    std::optional<std::string> TakeError();

    // Counts, for tests and measurements: whole-file writes and change appends done.
    struct Counts {
        int wholeWrites = 0;
        int appends = 0;
    };
    Counts Done() const;

    // The share of the text's size the change records may reach before the whole file is
    // written anew (at least kMinJournalBytes).
    static constexpr std::int64_t kMinJournalBytes = 1 << 20;

private:
    struct Op {
        enum Kind : std::uint8_t { Expect, Append, Complete, Insert, Delete } kind;
        std::int64_t a = 0;
        std::int64_t b = 0;
        std::string text;
    };

    void Run();
    void WriteOut(std::vector<Op>& ops, std::optional<RecoveryHead>& head);
    bool WriteWhole();
    bool AppendRecords(const std::string& records);
    void Fail(const std::string& message);

    const std::filesystem::path file_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<Op> queued_;
    std::optional<RecoveryHead> newHead_;
    std::uint64_t flushAsked_ = 0;
    std::uint64_t flushDone_ = 0;
    bool stop_ = false;
    std::optional<std::string> error_;
    bool errorTold_ = false;
    Counts counts_;

    // The writer's thread only.
    RecoveryHead head_;
    GapText text_;
    bool complete_ = false;
    bool wholeWritten_ = false;
    std::int64_t journalBytes_ = 0;

    std::thread thread_;
};

}  // namespace tarnwick
