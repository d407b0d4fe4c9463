// The result type: what a success and a failure hold, handing a failure on, the failure an
// exception makes, and the server's own usage written against it.
#include "outcome.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

using namespace tonalyx;

namespace {

TOutcome<int> Parse(const std::string& text) {
    if (text.empty())
        return TOutcome<int>::Failure("The number is missing", "empty input");
    return std::stoi(text);
}

// A failure of one type handed on as another's.
TOutcome<std::string> Doubled(const std::string& text) {
    const TOutcome<int> n = Parse(text);
    if (!n.Ok())
        return n.Error();
    return std::to_string(2 * n.Value());
}

} // namespace

TEST(Outcome, SuccessAndFailureHoldWhatTheySay) {
    const struct {
        const char* Input;
        bool Ok;
        const char* Value;
        const char* Reason;
        const char* Detail;
    } cases[] = {
        {"21", true, "42", "", ""},
        {"", false, nullptr, "The number is missing", "empty input"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Input);
        const TOutcome<std::string> r = Doubled(c.Input);
        EXPECT_EQ(r.Ok(), c.Ok);
        EXPECT_EQ(static_cast<bool>(r), c.Ok);
        if (c.Value)
            EXPECT_EQ(*r, c.Value);
        else
            EXPECT_THROW((void)r.Value(), std::bad_variant_access);
        EXPECT_EQ(r.Reason(), c.Reason);
        EXPECT_EQ(r.Detail(), c.Detail);
        EXPECT_EQ(r.ValueOr("none"), c.Value ? c.Value : "none");
    }
}

TEST(Outcome, MoveOnlyValuesAreMovedOut) {
    TOutcome<std::unique_ptr<int>> r = std::make_unique<int>(7);
    ASSERT_TRUE(r.Ok());
    const std::unique_ptr<int> taken = std::move(r).Value();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(*taken, 7);
}

TEST(Outcome, StatusWithoutAValue) {
    const TOutcome<void> ok = TOutcome<void>::Success();
    EXPECT_TRUE(ok.Ok());
    EXPECT_EQ(ok.Reason(), "");
    const TOutcome<void> failed = TOutcome<void>::Failure("Cannot save x.png", "disk full");
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(failed.Error(), (TFailure{"Cannot save x.png", "disk full"}));
    const TOutcome<int> handedOn = failed.Error();
    EXPECT_EQ(handedOn.Reason(), "Cannot save x.png");
}

TEST(Outcome, ExceptionsBecomeFailures) {
    const auto failureOf = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return FailureOf(std::current_exception());
        }
        return TFailure{};
    };
    EXPECT_EQ(failureOf([] { throw std::bad_alloc(); }),
              (TFailure{"Not enough memory to complete the operation.", "std::bad_alloc"}));
    EXPECT_EQ(failureOf([] { throw std::runtime_error("broken"); }),
              (TFailure{"broken", "broken"}));
    EXPECT_EQ(failureOf([] { throw std::runtime_error(""); }).Reason,
              "An unexpected error occurred.");
    EXPECT_EQ(failureOf([] { throw 42; }).Reason, "An unexpected error occurred.");
}

TEST(Outcome, DescribedForALogLine) {
    const std::pair<TFailure, const char*> cases[] = {
        {{"Timeout", ""}, "Timeout"},
        {{"Timeout", "Timeout"}, "Timeout"},
        {{"The feed is empty", "GET http://127.0.0.1/"},
         "The feed is empty (GET http://127.0.0.1/)"},
    };
    for (const auto& [failure, line] : cases)
        EXPECT_EQ(DescribeFailure(failure), line);
}

// The server's result types are these two names; its code, as written, against them.
namespace server_usage {

template <class T> using TResult = TOutcome<T>;
using TStatus = TOutcome<void>;

TResult<std::unique_ptr<int>> Open(bool good) {
    if (!good)
        return TResult<std::unique_ptr<int>>::Failure("cannot open the data folder");
    return std::make_unique<int>(1);
}

TStatus Prepare(bool good) {
    const TResult<std::unique_ptr<int>> opened = Open(good);
    if (!opened.Ok())
        return TStatus::Failure("cannot open the picture folder: " + opened.Reason());
    return TStatus::Success();
}

TEST(Outcome, ServesTheServersResultAndStatus) {
    EXPECT_TRUE(Prepare(true).Ok());
    EXPECT_EQ(Prepare(false).Reason(),
              "cannot open the picture folder: cannot open the data folder");
    TResult<std::string> text = std::string("x");
    const TResult<std::string> other = text.Ok() ? text : TResult<std::string>::Failure("no");
    EXPECT_EQ(other.Value(), "x");
    std::string moved = std::move(text.Value());
    EXPECT_EQ(moved, "x");
}

} // namespace server_usage
