#pragma once
// A guard for a variable the control raises for the length of one operation: it is set when the
// guard is made and put back when the guard goes, on every exit path, an exception included.

#include <utility>

namespace tarnwick {

template <class T>
class ScopedValue {
public:
    ScopedValue(T& variable, T value) : variable_(variable), old_(std::exchange(variable, std::move(value))) {}
    ~ScopedValue() { variable_ = std::move(old_); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& variable_;
    T old_;
};

}  // namespace tarnwick
