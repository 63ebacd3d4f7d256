// The result type: a failure never reads as a value, even when the value and
// the error are both text, and values that can only move travel through it.

#include "base/Result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

namespace orvalt {
namespace {

TEST(Result, TextValueAndTextErrorAreNeverTakenForEachOther) {
    const Result<std::string> value = std::string("/dev/ttyS0");
    ASSERT_TRUE(value.Ok());
    EXPECT_EQ(*value, "/dev/ttyS0");
    EXPECT_THROW((void)value.Error(), std::bad_variant_access);

    const Result<std::string> failure = Fail("Can't open /dev/ttyS0: busy");
    EXPECT_FALSE(static_cast<bool>(failure));
    EXPECT_EQ(failure.Error(), "Can't open /dev/ttyS0: busy");
    EXPECT_THROW((void)failure.Value(), std::bad_variant_access);

    // An empty text is still a failure: no "empty error means fine" rule.
    EXPECT_FALSE(Result<int>(Fail(std::string())).Ok());
    EXPECT_FALSE(Result<void>(Fail(std::string())).Ok());
}

TEST(Result, MoveOnlyValuesAreHandedOver) {
    Result<std::unique_ptr<int>, int> owned = std::make_unique<int>(7);
    ASSERT_TRUE(owned);
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
