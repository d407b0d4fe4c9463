// Outcomes of operations that can fail: the value, or a reason a person can read.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace tonalyx {

class TStatus {
  public:
    static TStatus Success() { return TStatus(); }
    static TStatus Failure(std::string reason) { return TStatus(std::move(reason)); }

    bool Ok() const { return !FReason; }
    const std::string& Reason() const {
        static const std::string none;
        return FReason ? *FReason : none;
    }

  private:
    TStatus() = default;
    explicit TStatus(std::string reason) : FReason(std::move(reason)) {}
    std::optional<std::string> FReason;
};

template <class T> class TResult {
  public:
    TResult(T value) : FValue(std::move(value)) {}
    static TResult Failure(std::string reason) { return TResult(std::move(reason), 0); }

    bool Ok() const { return FValue.has_value(); }
    T& Value() { return *FValue; }
    const T& Value() const { return *FValue; }
    const std::string& Reason() const { return FReason; }

  private:
    TResult(std::string reason, int) : FReason(std::move(reason)) {}
    std::optional<T> FValue;
    std::string FReason;
};

} // namespace tonalyx
