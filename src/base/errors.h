#pragma once
// Exceptions shared by every subsystem. The message is the text the user sees; the application's
// top-level handler shows it as it stands.

#include <stdexcept>
#include <string>

namespace tarnwick {

// Base of every error the program raises on purpose; carries the user-visible message.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Ends an operation without a message (Cancel in a close question and the like).
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// "Cannot open file %s": a file that had to be read could not be opened.
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& fileName) : Exception("Cannot open file " + fileName) {}
    // The same failure in the words of the caller.
    EFOpenError(const std::string& /*fileName*/, const std::string& message) : Exception(message) {}
};

// "Cannot create file %s": a file that had to be written could not be created or written.
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& fileName) : Exception("Cannot create file " + fileName) {}
};

}  // namespace tarnwick
