#include <gtest/gtest.h>

#include <string>

#include "foundation/arrays.h"
#include "foundation/object.h"
#include "foundation/strings.h"
#include "text_helpers.h"

using namespace foundation;
using foundation_test::take;

namespace {

TEST(Object, ToStringPrintsTheAddressInSignedDecimal) {
    Object* object = new Object;
    std::u16string expected = u"Object@";
    for (char c : std::to_string(reinterpret_cast<intptr_t>(object))) expected += static_cast<char16_t>(c);
    EXPECT_EQ(take(object->toString()), expected);
    object->release();
}

TEST(Object, AddressWithTheTopBitSetIsNegative) {
    EXPECT_EQ(take(describeObjectAt(static_cast<intptr_t>(-4096))), u"Object@-4096");
    EXPECT_EQ(take(describeObjectAt(INTPTR_MIN)), u"Object@" + [] {
        std::u16string s;
        for (char c : std::to_string(INTPTR_MIN)) s += static_cast<char16_t>(c);
        return s;
    }());
}

void hookA() {}
void hookB() {}

TEST(ReleaseHooks, ErrorTablesFirstAndNoDuplicates) {
    addReleaseHook(&hookA);
    addReleaseHook(&hookB);
    addReleaseHook(&hookA);
    ArrayList* list = releaseHookList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->capacity, 32);
    ASSERT_EQ(list->size, 3);
    EXPECT_EQ(list->items[0], reinterpret_cast<void*>(&releaseErrorTables));
    EXPECT_EQ(list->items[1], reinterpret_cast<void*>(&hookA));
    EXPECT_EQ(list->items[2], reinterpret_cast<void*>(&hookB));
    addReleaseHook(&releaseErrorTables);
    EXPECT_EQ(list->size, 3);
}

}  // namespace
