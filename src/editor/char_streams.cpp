#include "editor/char_streams.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

TEdStream::TEdStream(const TTextStore* store) : store_(store) { Reset(); }

void TEdStream::Reset()
{
    size_ = store_ ? store_->CharCount() : 0;
    lastPosition_ = size_ > 0 ? size_ - 1 : 0;
    Locate(0);
    reach_ = position_;
    cameBackFrom_ = -1;
}

void TEdStream::Reset(TLineRecord* record, std::int64_t offsetInRecord, std::int64_t recordOffset)
{
    size_ = store_ ? store_->CharCount() : 0;
    lastPosition_ = size_ > 0 ? size_ - 1 : 0;
    record_ = record;
    inRecord_ = offsetInRecord;
    position_ = recordOffset + offsetInRecord;
    reach_ = position_;
    cameBackFrom_ = -1;
}

void TEdStream::Locate(std::int64_t offset)
{
    if (!store_ || size_ == 0) {
        record_ = nullptr;
        position_ = inRecord_ = 0;
        return;
    }
    if (offset >= size_) {
        // One past the end: after the last character of the last record.
        record_ = store_->LastLine();
        inRecord_ = record_->Length();
        position_ = size_;
        Entered();
        return;
    }
    // Within the current record there is nothing to look up.
    if (record_ && offset >= position_ - inRecord_ && offset < position_ - inRecord_ + record_->Length()) {
        inRecord_ += offset - position_;
        position_ = offset;
        return;
    }
    const LinePosition at = store_->FromOffset(offset);
    record_ = at.record;
    inRecord_ = offset - at.offset;
    position_ = offset;
    Entered();
}

void TEdStream::SetPos(std::int64_t offset) { Locate(std::clamp<std::int64_t>(offset, 0, lastPosition_)); }

void TEdStream::NextCharAcross()
{
    if (!record_) return;
    if (position_ > lastPosition_) return;
    ++position_;
    if (++inRecord_ >= record_->Length()) {
        if (TLineRecord* next = store_->Next(record_)) {
            record_ = next;
            inRecord_ = 0;
        }
        Entered();
    }
}

void TEdStream::PrevChar()
{
    if (!record_ || position_ == 0) return;
    if (inRecord_ > 0 && inRecord_ <= record_->Length()) {
        --inRecord_;
        --position_;
        return;
    }
    const LinePosition at = store_->FromOffset(position_ - 1);
    record_ = at.record;
    position_ -= 1;
    inRecord_ = position_ - at.offset;
}

std::size_t TEdStream::Read(void* buffer, std::size_t count)
{
    char* out = static_cast<char*>(buffer);
    std::size_t copied = 0;
    while (copied < count && position_ < size_ && record_) {
        if (inRecord_ >= record_->Length()) {
            TLineRecord* next = store_->Next(record_);
            if (!next) break;
            record_ = next;
            inRecord_ = 0;
            continue;
        }
        const std::size_t take =
            std::min<std::size_t>(count - copied, static_cast<std::size_t>(record_->Length() - inRecord_));
        std::memcpy(out + copied, record_->Text() + inRecord_, take);
        copied += take;
        inRecord_ += static_cast<std::int64_t>(take);
        position_ += static_cast<std::int64_t>(take);
    }
    return copied;
}

std::size_t TEdStream::Write(const void*, std::size_t) { throw EStreamError(msg::kReadOnlyStream); }

std::int64_t TEdStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    switch (origin) {
    case SeekOrigin::soFromBeginning: Locate(std::clamp<std::int64_t>(offset, 0, size_)); break;
    case SeekOrigin::soFromCurrent:
        if (offset != 0) Locate(std::clamp<std::int64_t>(position_ + offset, 0, size_));
        break;
    case SeekOrigin::soFromEnd:
        if (store_) Locate(std::clamp<std::int64_t>(size_ - offset, 0, size_));
        break;
    }
    return position_;
}

TFastMemoryStream::TFastMemoryStream(const char* text)
    : ReadOnlyMemoryStream(text ? std::string_view(text) : std::string_view())
{
}

void TFastMemoryStream::Repoint(const char* text)
{
    ReadOnlyMemoryStream::Repoint(text ? std::string_view(text) : std::string_view());
}

}  // namespace tarnwick
