#pragma once
// TCompressor: the general-purpose compressor the stored highlighter is packed with. Two methods:
//
//   KH  (magic "WRZL"): LZRW1-style blocks of at most 32768 bytes with run-length items;
//   LZH (magic "!HZL"): LZHUF, LZSS with adaptive Huffman coding.
//
// A compressed stream is the 4-byte magic, the original size as a little-endian i32 and the body
// of the method. The compressor works on streams (stream mode) or on named files.
//
// Compressed input is never trusted: a wrong magic, a truncated body, sizes that disagree or
// items that point outside the data end with an ECompressorException (or a subclass) and nothing
// is allocated from a size read from the input. In file mode a failed run deletes the half-written
// output file.

#include <cstdint>
#include <string>

#include "editor/editor_errors.h"
#include "editor/streams.h"

namespace tarnwick {

class ECompressorException : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

// The LZH coder's tables.
class ElzhException : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

// A KH block whose contents are not a valid encoding (an item past the block end, a copy from
// before the block start, a block that decodes to more than 32768 bytes).
class ECompressorKHCompressor : public ECompressorException {
public:
    using ECompressorException::ECompressorException;
};

namespace compressor_msg {
inline constexpr const char* kWriteStream = "Compressor : Error writing to output stream !";
inline constexpr const char* kWriteFile = "Compressor : Error writing to output file : ";
inline constexpr const char* kReadStream = "Compressor : Error reading from input stream !";
inline constexpr const char* kReadFile = "Compressor : Error reading from input file : ";
inline constexpr const char* kLzhSuffix = " (LZH)";
inline constexpr const char* kKhSuffix = " (Compressor/KH)";
inline constexpr const char* kNoHeaderStream = "Compressor decompression : input stream contains no valid header !";
inline constexpr const char* kNoHeaderFile = " : Compressor decompression : this file has no valid header !";
inline constexpr const char* kKhSizes =
    "Compressor (decompression Compressor/KH) : Original and compressed sizes do not match !";
inline constexpr const char* kLzhSizes =
    "Compressor (LZH decompression) : Original and compressed sizes do not match !";
inline constexpr const char* kNoBuffers = "Compressor (de)compression : Failed to get memory for I/O buffers !";
inline constexpr const char* kInitInput = "Compressor (de)compression : Failed to initialize input stream !";
inline constexpr const char* kInitOutput = "Compressor (de)compression : Failed to initialize output stream !";
inline constexpr const char* kOpenInput = "Compressor (de)compression : Failed to open input file : ";
inline constexpr const char* kOpenOutput = "Compressor (de)compression : Failed to open output file : ";
inline constexpr const char* kSizeStream = "Compressor compression : Failed to obtain the size of the input stream !";
inline constexpr const char* kSizeFile = "Compressor compression : Failed to obtain the size of : ";
inline constexpr const char* kTooLarge = "Compressor compression : the input is larger than 2147483647 bytes !";
inline constexpr const char* kAdviseBuffers = "Compressor advise : Error getting I/O buffers";
inline constexpr const char* kAdviseSizeFile = "Compressor advise : can not get the size of : ";
inline constexpr const char* kAdviseSizeStream = "Compressor advise : can not get size of inputstream !";
inline constexpr const char* kAdviseInitStream = "Compressor edvise : can not initialize the input stream!";
inline constexpr const char* kAdviseOpenFile = "Compressor advise : can open input file : ";
inline constexpr const char* kAdviseReadStream = "Compressor advise : input stream read error !";
inline constexpr const char* kAdviseReadFile = "Compressor advise : read error on input file : ";
inline constexpr const char* kKhCorrupt = "Compressor (decompression Compressor/KH) : corrupt compressed block !";
inline constexpr const char* kLzhMemory = "LZH : Cannot get memory for dictionary tables";
}  // namespace compressor_msg

class TCompressor {
public:
    enum CompressionMethod : int { cmLZH = 0, cmKH = 1, cmAdvise = 2 };

    static constexpr std::int64_t kBlockSize = 32768;
    // Inputs up to this size are always compressed with LZH by Advise.
    static constexpr std::int64_t kAdviseLimit = 98303;

    // File mode: names of the input and output files.
    std::string InputFile;
    std::string OutputFile;
    // Stream mode: the streams are the caller's and must outlive the call.
    bool StreamMode = false;
    TStream* InputStream = nullptr;
    TStream* OutputStream = nullptr;
    CompressionMethod Method = cmKH;
    // Advise chooses KH when the samples shrink below this percentage of their size.
    int AdviseRatio = 40;

    // Compresses the input (in stream mode from the input stream's position to its end) to the
    // output; returns the number of bytes written, header included.
    std::int64_t Compress();
    // Reads the magic, decodes with the method it names; returns the number of bytes written.
    std::int64_t Decompress();
    // True when KH is worth using on this input. Inputs of at most 98303 bytes set the method to
    // LZH and return false. The input position is left where it was.
    bool Advise();

    // Stream mode in one call: compresses `input` (from its position) into `output` with
    // `method`, or decompresses it; returns the number of bytes written.
    static std::int64_t Compress(TStream& input, TStream& output, CompressionMethod method);
    static std::int64_t Decompress(TStream& input, TStream& output);
};

}  // namespace tarnwick
