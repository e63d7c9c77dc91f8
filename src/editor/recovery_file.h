#pragma once
// The recovery file of an edit window: the unsaved text of a window, kept on disk while the
// window holds changes, so that the text survives a crash of the program.
//
// The file is a sequence of records after an eight-byte signature. Every record is
//
//   kind (1 byte) | payload length (4 bytes) | CRC-32 of kind and payload (4 bytes) | payload
//
// with numbers little-endian. The first record is the head ('H': how the text is saved and
// under which name), the second the whole text ('T', line breaks as single CRs, as the store
// holds them); after them come changes ('I' insertion, 'D' deletion) and new heads. A record
// cut short or failing its checksum ends the file there: what a crash left half written is
// dropped, the records before it count.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"

namespace tarnwick {

// A recovery file that cannot be used: not one at all, or damaged before its text is complete.
class RecoveryFileError : public Exception {
public:
    explicit RecoveryFileError(const std::string& message) : Exception(message) {}
};

// What restores the bytes the user would have saved: the script's name, the editor's save format
// and line style (the line breaks a save writes) and the character set of the text.
struct RecoveryHead {
    std::string fileName;  // the script's full path in the file system's bytes; empty: untitled
    std::uint8_t saveFormat = 0;
    std::uint8_t lineStyle = 0;
    std::string charset = "windows-1252";
    bool operator==(const RecoveryHead&) const = default;
};

inline constexpr std::string_view kRecoverySignature{"TWRECOV\x01", 8};
inline constexpr std::uint8_t kMaxSaveFormat = 3;
inline constexpr std::uint8_t kMaxLineStyle = 1;

std::uint32_t Crc32(std::string_view data, std::uint32_t crc = 0);

// A text with a movable gap: changes near the last one cost little however long the text is.
class GapText {
public:
    std::int64_t Size() const { return static_cast<std::int64_t>(buffer_.size() - gapEnd_ + gapStart_); }
    void Append(std::string_view text) { Insert(Size(), text); }
    // Makes room for a text of `size` characters in all, so that a long text handed over in
    // pieces is not moved again and again.
    void Reserve(std::int64_t size) { Grow(static_cast<std::size_t>(std::max<std::int64_t>(0, size - Size()))); }
    // Offsets must lie in the text (0 <= offset <= Size(), start <= end <= Size()).
    void Insert(std::int64_t offset, std::string_view text);
    void Delete(std::int64_t start, std::int64_t end);
    // The text as two pieces (before and after the gap).
    std::string_view Front() const { return {buffer_.data(), gapStart_}; }
    std::string_view Back() const { return {buffer_.data() + gapEnd_, buffer_.size() - gapEnd_}; }
    std::string Text() const { return std::string(Front()).append(Back()); }
    void Clear();

private:
    void MoveGap(std::size_t to);
    void Grow(std::size_t needed);

    std::string buffer_;
    std::size_t gapStart_ = 0;
    std::size_t gapEnd_ = 0;
};

// ---- writing

// The signature and the head record.
std::string EncodeRecoveryStart(const RecoveryHead& head);
std::string EncodeHeadRecord(const RecoveryHead& head);
// The record of the whole text, in two pieces (a gap text's front and back): the record's frame
// to write before them.
std::string EncodeTextRecordFrame(std::string_view front, std::string_view back);
std::string EncodeInsertRecord(std::int64_t offset, std::string_view text);
std::string EncodeDeleteRecord(std::int64_t start, std::int64_t end);

// ---- reading

struct RecoveredScript {
    RecoveryHead head;
    std::string text;
    // Records after the last good one were dropped (cut short or damaged).
    bool droppedTail = false;
};

// Reads a recovery file's contents. Raises RecoveryFileError when they are no recovery file, when
// the head or the text is damaged or missing, or when a change does not fit the text.
RecoveredScript ReadRecoveryData(std::string_view data);

}  // namespace tarnwick
