// The prototype registry and its release hook. Its own program, because
// running the hook gives up the process-wide prototypes.
#include <gtest/gtest.h>

#include "foundation/records.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

int destroyed = 0;

class Probe : public Saveable {
public:
    ~Probe() override { ++destroyed; }
    bool write(DataOutput*) override { return true; }
    bool read(DataInput*) override { return true; }
    Saveable* newInstance() override { return new Probe(); }
};

TEST(PrototypeRegistry, RegistersAndReleaseHookGivesEverythingUp) {
    ArrayList* registry = prototypeRegistry();
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(registry->capacity, 64);
    const int32_t before = registry->size;

    auto* probe = new Probe();
    EXPECT_EQ(registerPrototype(probe), probe);
    auto* held = new Probe();
    held->useCount = 2;  // someone else still holds it
    registerPrototype(held);
    EXPECT_EQ(prototypeRegistry()->size, before + 2);
    const int32_t hooks = releaseHookList()->size;
    registerPrototype(nullptr);  // a null entry is skipped by the hook
    EXPECT_EQ(releaseHookList()->size, hooks);

    releasePrototypes();
    EXPECT_EQ(prototypeRegistry(), nullptr);
    EXPECT_EQ(FileTree::prototype, nullptr);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(held->useCount, 1);
    held->release();
    EXPECT_EQ(destroyed, 2);

    // Without a prototype no child can be made, and its bytes cannot be
    // passed over: the list fails.
    AccessOut in(64);
    in.writeInt(1);
    FileTree child;
    ASSERT_TRUE(child.write(&in));
    EXPECT_EQ(readSaveableArray(&in), nullptr);
    FileTree parent;
    parent.files = new ObjArray<Saveable>(1);
    parent.files->items[0] = new FileTree();
    AccessOut withChild(64);
    ASSERT_TRUE(parent.write(&withChild));
    EXPECT_FALSE(parent.read(&withChild));
    EXPECT_EQ(parent.files, nullptr);

    // The registry comes back on the next registration.
    auto* again = new Probe();
    registerPrototype(again);
    ASSERT_NE(prototypeRegistry(), nullptr);
    EXPECT_EQ(prototypeRegistry()->size, 1);
    releasePrototypes();
    EXPECT_EQ(destroyed, 3);
}

}  // namespace
