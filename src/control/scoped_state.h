#pragma once
// A guard for a variable the control raises for the length of one operation: it is set when the
// guard is made and put back when the guard goes, on every exit path, an exception included.

#include <utility>

namespace tarnwick {

template <class T>
class TScopedValue {
public:
    TScopedValue(T& variable, T value) : variable_(variable), old_(std::exchange(variable, std::move(value))) {}
    ~TScopedValue() { variable_ = std::move(old_); }
    TScopedValue(const TScopedValue&) = delete;
    TScopedValue& operator=(const TScopedValue&) = delete;

private:
    T& variable_;
    T old_;
};

}  // namespace tarnwick
