#include <gtest/gtest.h>

#include <string>

#include "foundation/errors.h"
#include "foundation/strings.h"
#include "text_helpers.h"

using namespace foundation;
using foundation_test::text;

namespace {

TEST(ErrorTables, NamesAndMessages) {
    const char16_t* names[] = {u"", u"EMPTY", u"IO", u"EOF", u"OUT_OF_BOUNDS", u"OUT_OF_MEMORY",
                               u"STREAM_CLOSED", u"WRITE_ERR", u"READ_ERR", u"RUNTIME_ERR", u"ARGUMENT_ERR"};
    const char16_t* messages[] = {u"",          u"空指针",   u"IO异常",   u"已到流结尾",
                                  u"访问数组越界", u"内存不足",   u"流已关闭",   u"IO写错误",
                                  u"IO读错误",   u"运行时错误", u"非法参数"};
    for (int code = 0; code < ERROR_CODE_COUNT; ++code) {
        EXPECT_EQ(text(errorName(code)), names[code]) << code;
        EXPECT_EQ(text(errorMessage(code)), messages[code]) << code;
        EXPECT_EQ(errorName(code)->useCount, 1);
    }
    EXPECT_EQ(STREAM_EOF, 3);
    EXPECT_EQ(ARGUMENT_ERR, 10);
    EXPECT_EQ(text(emptyString()), u"");
    EXPECT_EQ(errorMessage(11), emptyString());
    EXPECT_EQ(errorMessage(-1), emptyString());
}

TEST(Throwable, HoldsOneCountOfItsMessage) {
    String* message = stringFromWide(u"details");
    auto* error = new Throwable(OUT_OF_BOUNDS, message);
    EXPECT_EQ(message->useCount, 2);
    delete error;
    EXPECT_EQ(message->useCount, 1);
    releaseString(message);

    // A message handed over entirely goes with the Throwable.
    String* owned = stringFromWide(u"mine");
    error = new Throwable(IO, owned);
    releaseString(owned);
    EXPECT_EQ(owned->useCount, 1);
    delete error;  // frees it; ASan reports a leak otherwise
}

TEST(Throwable, ThrowErrorThrowsAPointerWithoutMessage) {
    try {
        throwError(STREAM_EOF);
        FAIL();
    } catch (Throwable* error) {
        EXPECT_EQ(error->code, STREAM_EOF);
        EXPECT_EQ(error->message, nullptr);
        delete error;
    }
}

TEST(ErrorTables, ReleaseHookGivesEverythingBackAndTablesComeBack) {
    String* before = errorMessage(OUT_OF_MEMORY);
    retainString(before);
    releaseErrorTables();
    EXPECT_EQ(before->useCount, 1);  // the tables' hold is gone
    releaseString(before);
    // Later users get fresh tables rather than freed ones.
    EXPECT_EQ(text(errorMessage(OUT_OF_MEMORY)), u"内存不足");
}

}  // namespace
