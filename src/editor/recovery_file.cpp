#include "editor/recovery_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::size_t kFrameSize = 9;  // kind, length, checksum
constexpr std::size_t kMaxCharsetLength = 64;

const std::array<std::uint32_t, 256>& CrcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

void PutU32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutI64(std::string& out, std::int64_t value)
{
    const auto u = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(std::string_view data, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    return value;
}

std::int64_t GetI64(std::string_view data, std::size_t at)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    return static_cast<std::int64_t>(value);
}

std::string Frame(char kind, std::uint32_t length, std::uint32_t crc)
{
    std::string out(1, kind);
    PutU32(out, length);
    PutU32(out, crc);
    return out;
}

std::string Record(char kind, std::string_view payload)
{
    const char k[1] = {kind};
    std::string out =
        Frame(kind, static_cast<std::uint32_t>(payload.size()), Crc32(payload, Crc32(std::string_view(k, 1))));
    out.append(payload);
    return out;
}

RecoveryHead ParseHead(std::string_view p)
{
    // save format, line style, charset length, charset, name length, name
    if (p.size() < 3) throw RecoveryFileError("the head of the recovery file is damaged");
    RecoveryHead head;
    head.saveFormat = static_cast<std::uint8_t>(p[0]);
    head.lineStyle = static_cast<std::uint8_t>(p[1]);
    const std::size_t charsetLength = static_cast<unsigned char>(p[2]);
    if (head.saveFormat > kMaxSaveFormat || head.lineStyle > kMaxLineStyle || 3 + charsetLength + 4 > p.size())
        throw RecoveryFileError("the head of the recovery file is damaged");
    head.charset = std::string(p.substr(3, charsetLength));
    if (head.charset != RecoveryHead().charset)
        throw RecoveryFileError("the recovery file holds text in the character set \"" + head.charset +
                                "\", which this program does not read");
    const std::size_t nameAt = 3 + charsetLength + 4;
    const std::uint32_t nameLength = GetU32(p, 3 + charsetLength);
    if (nameLength != p.size() - nameAt) throw RecoveryFileError("the head of the recovery file is damaged");
    head.fileName = std::string(p.substr(nameAt));
    if (head.fileName.find('\0') != std::string::npos)
        throw RecoveryFileError("the head of the recovery file is damaged");
    return head;
}

}  // namespace

std::uint32_t Crc32(std::string_view data, std::uint32_t crc)
{
    const auto& table = CrcTable();
    crc = ~crc;
    for (const char ch : data) crc = table[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// ---- GapText

void GapText::Grow(std::size_t needed)
{
    const std::size_t gap = gapEnd_ - gapStart_;
    if (gap >= needed) return;
    const std::size_t size = buffer_.size() - gap;
    const std::size_t newGap = std::max<std::size_t>({needed, size / 8, 4096});
    std::string grown(size + newGap, '\0');
    std::memcpy(grown.data(), buffer_.data(), gapStart_);
    const std::size_t back = buffer_.size() - gapEnd_;
    std::memcpy(grown.data() + gapStart_ + newGap, buffer_.data() + gapEnd_, back);
    buffer_ = std::move(grown);
    gapEnd_ = gapStart_ + newGap;
}

void GapText::MoveGap(std::size_t to)
{
    if (to < gapStart_) {
        const std::size_t n = gapStart_ - to;
        std::memmove(buffer_.data() + gapEnd_ - n, buffer_.data() + to, n);
        gapStart_ = to;
        gapEnd_ -= n;
    } else if (to > gapStart_) {
        const std::size_t n = to - gapStart_;
        std::memmove(buffer_.data() + gapStart_, buffer_.data() + gapEnd_, n);
        gapStart_ += n;
        gapEnd_ += n;
    }
}

void GapText::Insert(std::int64_t offset, std::string_view text)
{
    if (text.empty()) return;
    Grow(text.size());
    MoveGap(static_cast<std::size_t>(offset));
    std::memcpy(buffer_.data() + gapStart_, text.data(), text.size());
    gapStart_ += text.size();
}

void GapText::Delete(std::int64_t start, std::int64_t end)
{
    if (start >= end) return;
    MoveGap(static_cast<std::size_t>(start));
    gapEnd_ += static_cast<std::size_t>(end - start);
}

void GapText::Clear()
{
    buffer_.clear();
    buffer_.shrink_to_fit();
    gapStart_ = gapEnd_ = 0;
}

// ---- writing

std::string EncodeHeadRecord(const RecoveryHead& head)
{
    std::string p;
    p.push_back(static_cast<char>(head.saveFormat));
    p.push_back(static_cast<char>(head.lineStyle));
    const std::string_view charset = std::string_view(head.charset).substr(0, kMaxCharsetLength);
    p.push_back(static_cast<char>(charset.size()));
    p.append(charset);
    PutU32(p, static_cast<std::uint32_t>(head.fileName.size()));
    p.append(head.fileName);
    return Record('H', p);
}

std::string EncodeRecoveryStart(const RecoveryHead& head)
{
    return std::string(kRecoverySignature).append(EncodeHeadRecord(head));
}

std::string EncodeTextRecordFrame(std::string_view front, std::string_view back)
{
    const char k[1] = {'T'};
    const std::uint32_t crc = Crc32(back, Crc32(front, Crc32(std::string_view(k, 1))));
    return Frame('T', static_cast<std::uint32_t>(front.size() + back.size()), crc);
}

std::string EncodeInsertRecord(std::int64_t offset, std::string_view text)
{
    std::string p;
    PutI64(p, offset);
    p.append(text);
    return Record('I', p);
}

std::string EncodeDeleteRecord(std::int64_t start, std::int64_t end)
{
    std::string p;
    PutI64(p, start);
    PutI64(p, end);
    return Record('D', p);
}

// ---- reading

RecoveredScript ReadRecoveryData(std::string_view data)
{
    if (data.size() < kRecoverySignature.size() || data.substr(0, kRecoverySignature.size()) != kRecoverySignature)
        throw RecoveryFileError("it is not a recovery file of this program");
    RecoveredScript script;
    GapText text;
    bool haveHead = false;
    bool haveText = false;
    std::size_t at = kRecoverySignature.size();
    while (at < data.size()) {
        if (data.size() - at < kFrameSize) {
            script.droppedTail = true;
            break;
        }
        const char kind = data[at];
        const std::uint32_t length = GetU32(data, at + 1);
        const std::uint32_t crc = GetU32(data, at + 5);
        if (length > data.size() - at - kFrameSize) {
            script.droppedTail = true;
            break;
        }
        const std::string_view payload = data.substr(at + kFrameSize, length);
        if (Crc32(payload, Crc32(data.substr(at, 1))) != crc) {
            script.droppedTail = true;
            break;
        }
        at += kFrameSize + length;

        if (!haveHead && kind != 'H') throw RecoveryFileError("the head of the recovery file is missing");
        if (haveHead && !haveText && kind != 'T') throw RecoveryFileError("the text of the recovery file is missing");
        switch (kind) {
        case 'H':
            script.head = ParseHead(payload);
            haveHead = true;
            break;
        case 'T':
            if (haveText) throw RecoveryFileError("the recovery file holds its text twice");
            text.Append(payload);
            haveText = true;
            break;
        case 'I': {
            if (payload.size() < 8) throw RecoveryFileError("a change in the recovery file is damaged");
            const std::int64_t offset = GetI64(payload, 0);
            if (offset < 0 || offset > text.Size())
                throw RecoveryFileError("a change in the recovery file does not fit its text");
            text.Insert(offset, payload.substr(8));
            break;
        }
        case 'D': {
            if (payload.size() != 16) throw RecoveryFileError("a change in the recovery file is damaged");
            const std::int64_t start = GetI64(payload, 0);
            const std::int64_t end = GetI64(payload, 8);
            if (start < 0 || start > end || end > text.Size())
                throw RecoveryFileError("a change in the recovery file does not fit its text");
            text.Delete(start, end);
            break;
        }
        default: throw RecoveryFileError("the recovery file holds a record of an unknown kind");
        }
    }
    if (!haveHead) throw RecoveryFileError("the head of the recovery file is missing");
    if (!haveText) throw RecoveryFileError("the text of the recovery file is missing");
    script.text = text.Text();
    return script;
}

}  // namespace tarnwick
