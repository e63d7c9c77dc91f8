// Loading and saving the text: files, streams and the export formats, and clearing the text.

#include <cstdio>
#include <memory>
#include <new>

#include "base/file_io.h"
#include "control/doravavizu.h"
#include "editor/editor_errors.h"
#include "editor/export_writers.h"

namespace tarnwick {

namespace m = control_msg;

// ---------------------------------------------------------------- files and streams

void TCustomDoravaVizu::SetText(std::string_view text)
{
    ReadOnlyMemoryStream stream(text);
    LoadFromStream(stream);
}

void TCustomDoravaVizu::LoadFromFile(const std::string& name)
{
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(name, TFileStream::Mode::fmOpenRead);
    } catch (const Exception&) {
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, m::kCannotOpen, name.c_str());
        throw EFOpenError(name, buffer);
    }
    LoadFromStream(*file);
    UndoStack().Clear();
    if (HasOption(smoTitleAsFilename)) Title = name;
}

void TCustomDoravaVizu::SaveToFile(const std::string& name)
{
    // The file is written beside the old one and takes its place in one step: a failed save
    // leaves the previous contents as they were.
    TMemoryStream data;
    SaveToStream(&data);
    WriteWholeFileOrThrow(name, data.Data());
    if (HasOption(smoTitleAsFilename)) Title = name;
}

void TCustomDoravaVizu::LoadFromStream(TStream& stream)
{
    UndoStack().Clear();
    {
        UpdateLock lock(*this);
        ScopedValue loading(loading_, true);
        RecordingPause pause(UndoStack());
        anchor_ = caret_ = 0;
        beyondEol_ = false;
        try {
            // The old text goes at once; the new one arrives in chunks that never split CR LF.
            ScopedValue editing(editing_, true);
            DeleteRange(0, store_->CharCount());
            std::string chunk(kInsertChunk, '\0');
            for (;;) {
                std::size_t got = stream.Read(chunk.data(), kInsertChunk);
                if (got == 0) break;
                if (got == kInsertChunk && chunk[got - 1] == '\r') {
                    --got;
                    stream.Seek(-1, SeekOrigin::soFromCurrent);
                }
                const std::int64_t at = store_->CharCount();
                store_->Insert(at, std::string_view(chunk.data(), got));
                if (OnTextChange) OnTextChange(*this, at, store_->CharCount() - at);
            }
        } catch (const std::bad_alloc&) {
            throw EDoravaVizu(msg::kNotEnoughMemory);
        }
        DropAllAttributes();
        if (WordWrap()) RewrapAll();
        trackedColumn_ = 0;
        topLine_ = leftColumn_ = 0;
        MarkRescan(0);
        Notify(cfText | cfSelection | cfScrolled);
    }
    UndoStack().Clear();
    Invalidate();
    FlushChange();
}

void TCustomDoravaVizu::SaveToStream(TStream* stream)
{
    if (!stream) throw EFileSaveError(m::kBadStream);
    UndoStack().Clear();
    const std::int64_t start = stream->Position();
    const std::int64_t chars = store_->CharCount();
    UpdateLock lock(*this);
    // Everything is selected for the writer; the selection comes back afterwards.
    ScopedValue anchor(anchor_, std::int64_t{0});
    ScopedValue caret(caret_, chars);
    int format = 1;
    switch (SaveFormat) {
    case sfRTF: format = 2; break;
    case sfHTML: format = 4; break;
    case sfUNIX: format = 8; break;
    case sfTEXT: format = store_->LineStyle() == lsCRLF ? 1 : 0; break;
    }
    // A stream that takes fewer bytes than offered gets the whole text again, three times at most.
    for (int attempt = 0;; ++attempt) {
        std::int64_t written = 0;
        try {
            written = WriteSelection(format, *stream);
        } catch (const EStreamError&) {
            written = stream->Position() - start;
        }
        if (chars == 0 || written >= chars) break;
        if (attempt == 3) throw EFileSaveError(m::kCouldNotSave);
        stream->SetPosition(start);
    }
    UndoStack().Clear();
}

std::int64_t TCustomDoravaVizu::WriteSelection(int format, TStream& out)
{
    if (format == 2 || format == 4) RescanAll();
    ExportContext context = ExportContextFor(Settings(), Title, TodayShortDate());
    if (ResolveSystemColor) context.resolveColor = ResolveSystemColor;
    return WriteRange(*store_, SelStart(), SelEnd(), format, context, out);
}

void TCustomDoravaVizu::Clear()
{
    {
        UpdateLock lock(*this);
        DeleteRange(0, store_->CharCount());
    }
    anchor_ = caret_ = 0;
    beyondEol_ = false;
    topLine_ = leftColumn_ = 0;
    UndoStack().Clear();
    Notify(cfText | cfSelection);
    Invalidate();
    FlushChange();
}
}  // namespace tarnwick
