#include <gtest/gtest.h>

#include <cstring>

#include "foundation/arrays.h"
#include "foundation/strings.h"
#include "text_helpers.h"

using namespace foundation;
using foundation_test::take;
using foundation_test::thrownCode;

namespace {

TEST(DataArray, OwnedStorageIsZeroFilledWithATerminator) {
    auto* empty = new DataArray<char>(0);
    ASSERT_NE(empty->data, nullptr);
    EXPECT_EQ(empty->data[0], 0);
    EXPECT_TRUE(empty->ownsData);
    EXPECT_EQ(take(empty->toString()), u"DataArray[0]");
    empty->release();

    auto* units = new DataArray<char16_t>(5);
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(units->data[i], 0);
    std::memcpy(units->data, u"abcde", 10);
    EXPECT_EQ(std::u16string(units->data), u"abcde");
    EXPECT_EQ(take(units->toString()), u"DataArray[5]");
    delete units;
}

TEST(DataArray, NegativeLengthIsOutOfMemory) {
    EXPECT_EQ(thrownCode([] { delete new DataArray<char>(-1); }), OUT_OF_MEMORY);
}

TEST(DataArray, WrappedStorageIsNeverFreed) {
    char storage[4] = {'a', 'b', 'c', 0};
    auto* view = new DataArray<char>(storage, 3);
    EXPECT_FALSE(view->ownsData);
    EXPECT_EQ(view->data, storage);
    view->release();  // ASan would report a free of stack memory
    EXPECT_EQ(storage[0], 'a');
}

TEST(ObjArray, SlotsStartNullAndEachHoldIsGivenUp) {
    auto* array = ObjArray<String>::create(3);
    EXPECT_EQ(array->count, 3);
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(array->items[i], nullptr);
    EXPECT_EQ(take(array->toString()), u"ObjArray[3]");

    String* shared = stringFromWide(u"shared");
    retainString(shared);  // the array takes two holds
    array->items[0] = shared;
    array->items[2] = shared;
    retainString(shared);  // and the test keeps one
    array->release();
    EXPECT_EQ(shared->useCount, 1);
    releaseString(shared);
}

TEST(ObjArray, NegativeCountIsOutOfBounds) {
    EXPECT_EQ(thrownCode([] { ObjArray<String>::create(-1); }), OUT_OF_BOUNDS);
    EXPECT_EQ(thrownCode([] { delete new ObjArray<String>(-5); }), OUT_OF_BOUNDS);
    auto* empty = ObjArray<String>::create(0);
    EXPECT_EQ(take(empty->toString()), u"ObjArray[0]");
    empty->release();
}

TEST(ArrayList, DoublesWhenFull) {
    ArrayList list(32);
    EXPECT_EQ(take(list.toString()), u"ArrayList(size=0)");
    int values[40];
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(list.add(&values[i]));
    EXPECT_EQ(list.capacity, 32);
    ASSERT_TRUE(list.add(&values[32]));
    EXPECT_EQ(list.capacity, 64);
    EXPECT_EQ(list.size, 33);
    for (int i = 0; i < 33; ++i) EXPECT_EQ(list.items[i], &values[i]);
    EXPECT_EQ(list.indexOf(&values[32]), 32);
    EXPECT_EQ(list.indexOf(&values[39]), -1);
    EXPECT_EQ(take(list.toString()), u"ArrayList(size=33)");
}

TEST(ArrayList, ZeroCapacityStillGrows) {
    ArrayList list(0);
    int a = 0, b = 0;
    ASSERT_TRUE(list.add(&a));
    ASSERT_TRUE(list.add(&b));
    EXPECT_EQ(list.size, 2);
    EXPECT_EQ(list.capacity, 2);
}

TEST(ArrayList, FailedGrowthLeavesTheListUnchanged) {
    // A list that claims to be full at a capacity that cannot double within
    // 32 bits: the growth must fail instead of wrapping around.
    ArrayList list(2);
    void** storage = list.items;
    list.capacity = 0x40000000;
    list.size = 0x40000000;
    int x = 0;
    EXPECT_FALSE(list.add(&x));
    EXPECT_EQ(list.items, storage);
    EXPECT_EQ(list.capacity, 0x40000000);
    EXPECT_EQ(list.size, 0x40000000);
    list.size = 0;
    list.capacity = 2;
}

}  // namespace
