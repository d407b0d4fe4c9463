// Outcomes of operations that can fail: the value, or a failure with a plain reason a person
// can read and the technical detail behind it (a library's or the system's own words, for
// logs). The one way failures travel between the libraries; no Qt, so the engine's
// neighbours, the decoders, the server and the command-line tool use it as well.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>
#include <variant>

namespace tonalyx {

struct TFailure {
    std::string Reason; // plain words (UTF-8), as the user may be shown them
    std::string Detail; // the technical detail (UTF-8); empty when the reason says it all
    friend bool operator==(const TFailure&, const TFailure&) = default;
};

// The reason and the detail as one line for a log: "reason (detail)".
inline std::string DescribeFailure(const TFailure& failure) {
    return failure.Detail.empty() || failure.Detail == failure.Reason
               ? failure.Reason
               : failure.Reason + " (" + failure.Detail + ")";
}

// What an exception caught at a boundary (a worker, an event handler) says: a
// bad_alloc in plain words, another exception by its message.
inline TFailure FailureOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return {"Not enough memory to complete the operation.", "std::bad_alloc"};
    } catch (const std::exception& e) {
        const std::string what = e.what();
        return {what.empty() ? "An unexpected error occurred." : what, what};
    } catch (...) {
        return {"An unexpected error occurred.", "an exception of unknown type"};
    }
}

// A value of type T or a failure. Constructed from a T (success) or a TFailure, so that a
// function returns either as it is; Failure(reason) builds one in place. Value() of a failure
// is a programming error and throws std::bad_variant_access.
template <class T> class TOutcome {
  public:
    TOutcome(T value) : FState(std::in_place_index<0>, std::move(value)) {}
    TOutcome(TFailure failure) : FState(std::in_place_index<1>, std::move(failure)) {}
    static TOutcome Failure(std::string reason, std::string detail = {}) {
        return TOutcome(TFailure{std::move(reason), std::move(detail)});
    }

    bool Ok() const { return FState.index() == 0; }
    explicit operator bool() const { return Ok(); }

    T& Value() & { return std::get<0>(FState); }
    const T& Value() const& { return std::get<0>(FState); }
    T&& Value() && { return std::get<0>(std::move(FState)); }
    T* operator->() { return &Value(); }
    const T* operator->() const { return &Value(); }
    T& operator*() & { return Value(); }
    const T& operator*() const& { return Value(); }
    // The value, or fallback after a failure.
    T ValueOr(T fallback) const& { return Ok() ? Value() : std::move(fallback); }

    // Empty on success.
    const std::string& Reason() const { return Ok() ? None() : std::get<1>(FState).Reason; }
    const std::string& Detail() const { return Ok() ? None() : std::get<1>(FState).Detail; }
    // The failure, to hand on as an outcome of another type; an empty one on success.
    TFailure Error() const { return Ok() ? TFailure{} : std::get<1>(FState); }

  private:
    static const std::string& None() {
        static const std::string none;
        return none;
    }
    std::variant<T, TFailure> FState;
};

// Success without a value, or a failure.
template <> class TOutcome<void> {
  public:
    TOutcome(TFailure failure) : FFailure(std::move(failure)), FOk(false) {}
    static TOutcome Success() { return TOutcome(); }
    static TOutcome Failure(std::string reason, std::string detail = {}) {
        return TOutcome(TFailure{std::move(reason), std::move(detail)});
    }

    bool Ok() const { return FOk; }
    explicit operator bool() const { return Ok(); }
    const std::string& Reason() const { return FFailure.Reason; }
    const std::string& Detail() const { return FFailure.Detail; }
    TFailure Error() const { return FFailure; }

  private:
    TOutcome() = default;
    TFailure FFailure;
    bool FOk = true;
};

} // namespace tonalyx
