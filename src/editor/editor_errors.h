#pragma once
// Exceptions of the editor family. Messages are the texts the user sees.

#include <string>

#include "base/errors.h"

namespace tarnwick {

// Base of the editor family.
class EDoravaVizu : public Exception {
public:
    using Exception::Exception;
};

class EKeywords : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

class ESYM_COMP_ERROR : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

class EKeyControllerException : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

class EAmbigiousKeyPair : public EKeyControllerException {
public:
    using EKeyControllerException::EKeyControllerException;
};

class EFileSaveError : public EDoravaVizu {
public:
    using EDoravaVizu::EDoravaVizu;
};

// A stream that cannot do what was asked: written while read-only, read past its end, or holding
// a count or length that does not fit what remains.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// The messages of the editor family that several classes share.
namespace msg {
inline constexpr const char* kReadOnlyStream = "Cannot write to a read-only stream";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kNotEnoughMemory = "Not enough memory for operation";
inline constexpr const char* kBookmarkIndexRange = "Bookmark index range error";
}  // namespace msg

}  // namespace tarnwick
