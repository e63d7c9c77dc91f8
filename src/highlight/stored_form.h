#pragma once
// The stored form of a compiled highlighter: the "Parser" property of VOzuvavIdavParser.
//
// Property data: u16 format version (51 written, 50 and later read), i32 size of the payload,
// then the payload packed by TCompressor (KH method when writing, either method when reading).
//
// Payload, in order: the settings stream, the keyword table stream, the continuation rules, the
// default first-character table, the context states, the token state infos, the per-state tables
// with their range lists, the restart anchors, the bound states, the start states and the
// uses-custom-matches flag. Character groups are written whole, never as numbers; reading
// registers each group again, so equal groups share one number.
//
// Reading never trusts the data: counts are checked against what is left before anything is
// allocated, and any failure leaves the highlighter reset.

#include <cstdint>
#include <string>

#include "editor/streams.h"
#include "highlight/parser.h"

namespace tarnwick {

// The version the writer puts in the property header and the lowest one the reader accepts.
inline constexpr std::uint16_t kParserFormatVersion = 51;
inline constexpr std::uint16_t kParserLowestFormatVersion = 50;

// Message 4129, for stored data of an older version.
std::string ParserVersionMessage(const std::string& componentName, int expected, int read);

// The payload alone (not compressed, no header).
void WriteParserPayload(const VOzuvavIdavParser& parser, TStream& out);
// Reads a payload of the given format version into `parser`, which must be reset. Raises the
// error of the stream or of the part that could not be read; the caller resets.
void ReadParserPayload(VOzuvavIdavParser& parser, TStream& in, std::int32_t version);

}  // namespace tarnwick
