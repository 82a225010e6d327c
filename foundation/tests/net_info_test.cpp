// NetInfo and readStringArray: wire format, failures and description.
#include <gtest/gtest.h>

#include "allocation_hook.h"
#include "foundation/netinfo.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

NetInfo* sample() {
    auto* n = new NetInfo();
    n->name = makeString(u"eth0");
    n->displayName = makeString(u"\u4EE5\u592A\u7F51");
    n->mtu = 1500;
    n->index = 2;
    n->hardwareAddress = -16;
    n->addresses = new ObjArray<String>(2);
    n->addresses->items[0] = makeString(u"10.0.0.1");
    n->state = 1;
    return n;
}

TEST(NetInfoFormat, FieldsInOrderWithEveryAddressSlotCounted) {
    NetInfo* n = sample();
    AccessOut out(8), flagged(8);
    ASSERT_TRUE(n->write(&out));
    ASSERT_TRUE(n->write(&flagged, 0x55));
    EXPECT_EQ(contents(out), contents(flagged));
    const Bytes expected{0, 4, 'e', 't', 'h', '0',
                         0, 9, 0xE4, 0xBB, 0xA5, 0xE5, 0xA4, 0xAA, 0xE7, 0xBD, 0x91,
                         0, 0, 0x05, 0xDC,
                         0, 0, 0, 2,
                         0, 0,
                         0xFF, 0xFF, 0xFF, 0xF0,
                         0, 0, 0, 2, 0, 8, '1', '0', '.', '0', '.', '0', '.', '1', 0, 0,
                         0, 0, 0, 1};
    EXPECT_EQ(contents(out), expected);

    NetInfo back;
    ASSERT_TRUE(back.read(&out));
    EXPECT_EQ(units(back.displayName), u"\u4EE5\u592A\u7F51");
    ASSERT_NE(back.parent, nullptr);
    EXPECT_EQ(back.parent->length, 0);
    ASSERT_NE(back.addresses, nullptr);
    ASSERT_EQ(back.addresses->count, 2);
    EXPECT_EQ(units(back.addresses->items[0]), u"10.0.0.1");
    ASSERT_NE(back.addresses->items[1], nullptr);
    EXPECT_EQ(back.addresses->items[1]->length, 0);
    EXPECT_EQ(back.state, 1);
    EXPECT_EQ(back.hardwareAddress, -16);
    n->release();
}

TEST(NetInfoReading, FailureKeepsFieldsReadSoFar) {
    NetInfo* n = sample();
    AccessOut out(8);
    ASSERT_TRUE(n->write(&out));
    n->release();
    out.count -= 2;  // ends inside state

    NetInfo back;
    back.state = 77;
    EXPECT_FALSE(back.read(&out));
    EXPECT_EQ(units(back.name), u"eth0");
    ASSERT_NE(back.addresses, nullptr);
    EXPECT_EQ(back.addresses->count, 2);
    EXPECT_EQ(back.state, 77);
    EXPECT_FALSE(back.read(static_cast<DataInput*>(nullptr)));
}

// Every allocation through new in turn fails once: reading and writing
// report it as a failure, never as an exception.
TEST(NetInfoReading, AllocationFailuresAreFailedReadsAndWrites) {
    NetInfo* n = sample();
    AccessOut bytes(8);
    ASSERT_TRUE(n->write(&bytes));
    for (long k = 0; k < 1000; ++k) {
        AccessOut in(8), out(4);
        in.write(bytes.buffer, 0, bytes.count);
        NetInfo back;
        bool read = false, written = false;
        newFailed = false;
        newCallsBeforeFailure = k;
        EXPECT_NO_THROW(read = back.read(&in)) << k;
        EXPECT_NO_THROW(written = n->write(&out)) << k;
        newCallsBeforeFailure = -1;
        if (!newFailed) {
            EXPECT_TRUE(read && written);
            EXPECT_EQ(contents(out), contents(bytes));
            break;
        }
        EXPECT_FALSE(read && written) << k;
    }
    n->release();
}

TEST(StringArrays, CountsAndFailures) {
    EXPECT_EQ(readStringArray(nullptr), nullptr);

    AccessOut zero(8);
    zero.writeInt(0);
    zero.writeInt(-5);
    EXPECT_EQ(readStringArray(&zero), nullptr);
    EXPECT_EQ(readStringArray(&zero), nullptr);
    EXPECT_EQ(thrownCode([&] { readStringArray(&zero); }), STREAM_EOF);

    // Two texts promised, room for at most one: refused before allocating.
    AccessOut impossible(8);
    impossible.writeInt(0x7FFFFFFF);
    impossible.writeShort(0);
    EXPECT_EQ(thrownCode([&] { readStringArray(&impossible); }), STREAM_EOF);
    EXPECT_EQ(impossible.available(), 2);

    // Possible by size, broken in the middle: the texts read are given up.
    AccessOut broken(8);
    broken.writeInt(2);
    broken.writeShort(1);
    broken.write('a');
    broken.writeShort(3);
    broken.write(0x80);
    EXPECT_EQ(thrownCode([&] { readStringArray(&broken); }), STREAM_EOF);
}

TEST(NetInfoText, DescriptionsOfNewAndFilledRecords) {
    NetInfo fresh;
    String* text = fresh.toString();
    EXPECT_EQ(units(text),
              u"NetInfo{name=null, displayName=null, mtu=0, index=0, parent=null, hardwareAddress=0, "
              u"addresses=null, state=0}");
    releaseString(text);

    NetInfo* n = sample();
    n->parent = makeString(u"br0");
    text = n->toString();
    EXPECT_EQ(units(text),
              u"NetInfo{name=eth0, displayName=\u4EE5\u592A\u7F51, mtu=1500, index=2, parent=br0, "
              u"hardwareAddress=-16, addresses=ObjArray[2], state=1}");
    releaseString(text);
    n->clear();
    EXPECT_EQ(n->name, nullptr);
    EXPECT_EQ(n->addresses, nullptr);
    EXPECT_EQ(n->mtu, 1500);
    n->release();
}

TEST(NetInfoPrototype, RegisteredAtLoadTime) {
    ASSERT_NE(NetInfo::prototype, nullptr);
    EXPECT_GE(prototypeRegistry()->indexOf(NetInfo::prototype), 0);
    Saveable* made = NetInfo::prototype->newInstance();
    EXPECT_NE(dynamic_cast<NetInfo*>(made), nullptr);
    made->release();
}

}  // namespace
