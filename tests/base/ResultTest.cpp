// The result type: a failure never reads as a value, even when the value and
// the error are both text, and values that can only move travel through it.

#include "base/Result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

namespace orvalt {
namespace {

Result<std::string> Named(bool ok) {
    if (!ok) {
        return Fail("Can't open /dev/ttyS0: busy");
    }
    return std::string("/dev/ttyS0");
}

TEST(Result, TextValueAndTextErrorAreNeverTakenForEachOther) {
    const auto value = Named(true);
    ASSERT_TRUE(value.Ok());
    EXPECT_TRUE(static_cast<bool>(value));
    EXPECT_EQ(*value, "/dev/ttyS0");
    EXPECT_THROW((void)value.Error(), std::bad_variant_access);

    const auto failure = Named(false);
    EXPECT_FALSE(failure.Ok());
    EXPECT_FALSE(static_cast<bool>(failure));
    EXPECT_EQ(failure.Error(), "Can't open /dev/ttyS0: busy");
    EXPECT_THROW((void)failure.Value(), std::bad_variant_access);
}

TEST(Result, AnEmptyErrorIsStillAFailure) {
    const Result<int> failure = Fail(std::string());
    EXPECT_FALSE(failure.Ok());
    const Result<void> nothing = Fail(std::string());
    EXPECT_FALSE(nothing.Ok());
}

TEST(Result, MoveOnlyValuesAreHandedOver) {
    Result<std::unique_ptr<int>, int> owned = std::make_unique<int>(7);
    ASSERT_TRUE(owned);
    EXPECT_EQ(**owned, 7);
    const std::unique_ptr<int> taken = std::move(owned).Value();
    EXPECT_EQ(*taken, 7);
    EXPECT_EQ(owned->get(), nullptr);
}

TEST(Result, VoidIsOkUntilFailed) {
    const Result<void> done;
    EXPECT_TRUE(done.Ok());
    EXPECT_THROW((void)done.Error(), std::bad_optional_access);
    const Result<void, int> failed = Fail(5);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Error(), 5);
}

}  // namespace
}  // namespace orvalt
