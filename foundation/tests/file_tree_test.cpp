// FileTree: wire format, reading failures, nesting limit, description, and
// the Saveable array helpers.
#include <gtest/gtest.h>

#include "allocation_hook.h"
#include "foundation/records.h"
#include "stream_test_support.h"

using namespace foundation;
using namespace streamtest;

namespace {

FileTree* leaf(const std::u16string& name, int64_t size) {
    auto* t = new FileTree();
    t->name = makeString(name);
    t->size = size;
    t->lastTime = 1700000000000LL;
    return t;
}

std::u16string describe(Object* o) {
    String* s = o->toString();
    std::u16string text = units(s);
    releaseString(s);
    return text;
}

Bytes bytesOf(FileTree& t) {
    AccessOut out(16);
    EXPECT_TRUE(t.write(&out));
    return contents(out);
}

const Bytes kEmptyTree = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// One record on the wire: the name as written (length bytes included),
// zero size, lastTime and dir, then the child count.
Bytes record(int32_t count, const Bytes& name = {0, 0}) {
    Bytes bytes = name;
    bytes.resize(bytes.size() + 17);
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(count >> shift));
    return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes bytes;
    for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

TEST(FileTreeFormat, EmptyRecordIs23BytesAndReadsBackWithEmptyName) {
    FileTree t;
    EXPECT_EQ(bytesOf(t), kEmptyTree);

    AccessOut in(32);
    append(in, kEmptyTree);
    FileTree back;
    ASSERT_TRUE(back.read(&in));
    ASSERT_NE(back.name, nullptr);
    EXPECT_EQ(back.name->length, 0);
    EXPECT_EQ(back.files, nullptr);
    EXPECT_EQ(in.available(), 0);
}

TEST(FileTreeFormat, FieldsInOrderAndOnlyNonNullChildrenCounted) {
    FileTree root;
    root.name = makeString(u"d");
    root.size = 0x0102;
    root.lastTime = -1;
    root.dir = true;
    root.files = new ObjArray<Saveable>(3);
    root.files->items[0] = leaf(u"a", 1);
    root.files->items[2] = leaf(u"\u4E2D", 2);
    const Bytes bytes = bytesOf(root);

    const Bytes head{0, 1, 'd', 0, 0, 0, 0, 0, 0, 1, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 2};
    ASSERT_GT(bytes.size(), head.size());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + head.size()), head);
    EXPECT_EQ(bytes.size(), head.size() + 24 + 26);

    AccessOut in(16);
    append(in, bytes);
    FileTree back;
    ASSERT_TRUE(back.read(&in));
    ASSERT_NE(back.files, nullptr);
    ASSERT_EQ(back.files->count, 2);
    auto* second = static_cast<FileTree*>(back.files->items[1]);
    EXPECT_EQ(units(second->name), u"\u4E2D");
    EXPECT_EQ(second->size, 2);
    EXPECT_EQ(second->lastTime, 1700000000000LL);
    EXPECT_EQ(second->useCount, 1);
    EXPECT_EQ(bytesOf(back), bytes);
}

TEST(FileTreeFormat, FlagsAreHandedToChildrenAndDoNotChangeTheBytes) {
    FileTree root;
    root.files = new ObjArray<Saveable>(1);
    root.files->items[0] = leaf(u"x", 5);
    AccessOut plain(8), flagged(8);
    ASSERT_TRUE(root.write(&plain));
    ASSERT_TRUE(root.write(&flagged, 0x7));
    EXPECT_EQ(contents(plain), contents(flagged));
    FileTree back;
    ASSERT_TRUE(back.read(&flagged, 0x7));
    ASSERT_NE(back.files, nullptr);
    EXPECT_EQ(back.files->count, 1);
}

TEST(FileTreeReading, TruncatedFieldsFailKeepingWhatWasRead) {
    FileTree source;
    source.name = makeString(u"new");
    source.size = 11;
    source.lastTime = 22;
    Bytes bytes = bytesOf(source);
    bytes.resize(5 + 8 + 4);  // ends inside lastTime

    FileTree t;
    t.name = makeString(u"old");
    t.lastTime = 99;
    t.files = new ObjArray<Saveable>(1);
    AccessOut in(8);
    append(in, bytes);
    EXPECT_FALSE(t.read(&in));
    EXPECT_EQ(units(t.name), u"new");
    EXPECT_EQ(t.size, 11);
    EXPECT_EQ(t.lastTime, 99);
    EXPECT_EQ(t.files, nullptr);
    EXPECT_FALSE(t.read(static_cast<DataInput*>(nullptr)));
}

TEST(FileTreeReading, MissingChildCountStillSucceedsWithoutChildren) {
    LogCapture log;
    Bytes bytes = kEmptyTree;
    bytes.resize(19);  // ends right after dir
    AccessOut in(8);
    append(in, bytes);
    FileTree t;
    EXPECT_TRUE(t.read(&in));
    EXPECT_EQ(t.files, nullptr);
    EXPECT_EQ(log.take(), (std::vector<LogCapture::Entry>{{LOG_LEVEL_ERROR, u"Saveable", u"\u5DF2\u5230\u6D41\u7ED3\u5C3E"}}));
}

TEST(FileTreeReading, ChildThatFailsEndsTheListButNotTheParent) {
    FileTree root;
    root.files = new ObjArray<Saveable>(3);
    for (int i = 0; i < 3; ++i) root.files->items[i] = leaf(u"child", i);
    Bytes bytes = bytesOf(root);
    // Cut inside the third child's lastTime: the count (3) can still be
    // held by the bytes left, so the list is read up to the broken child.
    bytes.resize(bytes.size() - 8);
    AccessOut in(8);
    append(in, bytes);
    FileTree back;
    LogCapture log;
    ASSERT_TRUE(back.read(&in));
    // The broken child is destroyed while it still has its creation count.
    EXPECT_EQ(log.take(), (std::vector<LogCapture::Entry>{
                              {LOG_LEVEL_INFO, u"AccessOut", u"readFully fail len=8 n=5"},
                              {LOG_LEVEL_INFO, u"Saveable", u"free saveable useCount = 1"}}));
    ASSERT_NE(back.files, nullptr);
    ASSERT_EQ(back.files->count, 3);
    EXPECT_NE(back.files->items[0], nullptr);
    EXPECT_NE(back.files->items[1], nullptr);
    EXPECT_EQ(back.files->items[2], nullptr);
    EXPECT_EQ(in.available(), 0);

    // The same list one level down: the levels above keep what they read.
    AccessOut nested(8);
    append(nested, concat({record(1), bytes}));
    FileTree top;
    ASSERT_TRUE(top.read(&nested));
    ASSERT_NE(top.files, nullptr);
    ASSERT_EQ(top.files->count, 1);
    auto* middle = static_cast<FileTree*>(top.files->items[0]);
    ASSERT_NE(middle, nullptr);
    ASSERT_NE(middle->files, nullptr);
    ASSERT_EQ(middle->files->count, 3);
    EXPECT_NE(middle->files->items[1], nullptr);
    EXPECT_EQ(middle->files->items[2], nullptr);
}

// A child that fails for another reason than the end of the data leaves
// the stream where its parent cannot go on reading: every record above it
// fails too, keeping no children.
TEST(FileTreeReading, ChildFailingInsideTheDataFailsEveryAncestor) {
    // A promises 5 children with room for 2; read on, X and Y would become
    // the root's children.
    const Bytes refusedCount = concat({record(3), record(5), record(0), record(0)});
    // C's name is malformed; read on, C's numbers would become P's sibling.
    const Bytes malformedName = concat({record(2), record(1), record(0, {0, 1, 0x80}), record(0)});
    for (const Bytes& input : {refusedCount, malformedName}) {
        Bytes bytes = input;
        // Again one and two levels down, each time with a sibling after it.
        for (int level = 0; level < 3; ++level) {
            AccessOut in(8);
            append(in, bytes);
            FileTree t;
            EXPECT_FALSE(t.read(&in)) << level;
            ASSERT_NE(t.name, nullptr);
            EXPECT_EQ(t.files, nullptr) << level;
            bytes = concat({record(2), bytes, record(0)});
        }
    }
}

// A count that the rest of the stream cannot hold is refused before any
// slot is allocated, and fails the read: what follows is not that many
// children.
TEST(FileTreeReading, ImpossibleChildCountsFailTheRead) {
    for (int32_t count : {0x7FFFFFFF, 2, -1, 0}) {
        AccessOut in(8);
        append(in, concat({record(count), kEmptyTree}));  // room for one child only
        FileTree t;
        EXPECT_EQ(t.read(&in), count <= 0) << count;
        EXPECT_EQ(t.files, nullptr) << count;
        EXPECT_EQ(in.available(), 23) << count;
    }
    // Three children promised, the data ends inside the second one.
    Bytes bytes = concat({record(3), record(0), record(0)});
    bytes.resize(bytes.size() - 10);
    AccessOut in(8);
    append(in, bytes);
    FileTree t;
    EXPECT_FALSE(t.read(&in));
    EXPECT_EQ(t.files, nullptr);
}

Bytes chainOf(int32_t levels) {
    Bytes bytes;
    for (int32_t i = 0; i < levels; ++i) {
        Bytes one = kEmptyTree;
        one[22] = i + 1 < levels ? 1 : 0;
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

int32_t depthOf(const FileTree* t) {
    int32_t depth = 0;
    while (t->files != nullptr && t->files->count > 0 && t->files->items[0] != nullptr) {
        t = static_cast<const FileTree*>(t->files->items[0]);
        ++depth;
    }
    return depth;
}

// The record at the limit that announces children fails, and with it every
// record above it. The stream stands right after that record's count.
TEST(FileTreeReading, NestingBelowTheLimitFailsTheRead) {
    AccessOut deepest(64);
    append(deepest, chainOf(FILE_TREE_MAX_DEPTH + 1));
    FileTree fits;
    ASSERT_TRUE(fits.read(&deepest));
    EXPECT_EQ(depthOf(&fits), FILE_TREE_MAX_DEPTH);
    EXPECT_EQ(deepest.available(), 0);

    // 1,000 levels as in a crafted input, and a chain far deeper than the
    // stack could take.
    for (int32_t levels : {FILE_TREE_MAX_DEPTH + 2, 1000, 200000}) {
        AccessOut in(64);
        append(in, chainOf(levels));
        FileTree cut;
        EXPECT_FALSE(cut.read(&in)) << levels;
        EXPECT_EQ(cut.files, nullptr) << levels;
        EXPECT_EQ(in.position, FILE_TREE_MIN_BYTES * (FILE_TREE_MAX_DEPTH + 1)) << levels;
    }
}

// Every allocation through new in turn fails once: the read reports it
// as a failure, never as an exception, and keeps no children (the sanitizer
// build shows leaks).
TEST(FileTreeReading, AllocationFailureInsideANestedReadFailsTheRead) {
    FileTree source;
    source.name = makeString(u"root");
    source.files = new ObjArray<Saveable>(1);
    auto* middle = leaf(u"middle", 1);
    middle->files = new ObjArray<Saveable>(2);
    middle->files->items[0] = leaf(u"a", 2);
    middle->files->items[1] = leaf(u"b", 3);
    source.files->items[0] = middle;
    const Bytes bytes = bytesOf(source);

    int32_t failures = 0;
    for (long n = 0; n < 1000; ++n) {
        AccessOut in(static_cast<int32_t>(bytes.size()));
        append(in, bytes);
        FileTree t;
        bool read = false;
        newFailed = false;
        newCallsBeforeFailure = n;
        EXPECT_NO_THROW(read = t.read(&in)) << n;
        newCallsBeforeFailure = -1;
        if (!newFailed) {
            EXPECT_TRUE(read);
            EXPECT_EQ(bytesOf(t), bytes);
            break;
        }
        ++failures;
        EXPECT_FALSE(read) << n;
        EXPECT_EQ(t.files, nullptr) << n;
    }
    EXPECT_GE(failures, 8);  // a record, a name and a list at each level
}

TEST(FileTreeReading, RereadingReleasesThePreviousFields) {
    FileTree source;
    source.name = makeString(u"n");
    source.files = new ObjArray<Saveable>(1);
    source.files->items[0] = leaf(u"c", 1);
    const Bytes bytes = bytesOf(source);
    FileTree t;
    for (int i = 0; i < 3; ++i) {
        AccessOut in(8);
        append(in, bytes);
        ASSERT_TRUE(t.read(&in));
    }
    EXPECT_EQ(bytesOf(t), bytes);  // leaks would show under the sanitizer build
}

TEST(FileTreeText, DescriptionsOfNewAndFilledRecords) {
    FileTree fresh;
    EXPECT_EQ(describe(&fresh), u"FileTree{name=null, size=0, lastTime=0, dir=false, files=null}");

    FileTree t;
    t.name = makeString(u"\u6587\u4EF6");
    t.size = -9223372036854775807LL - 1;
    t.lastTime = 1234567890123LL;
    t.dir = true;
    t.files = new ObjArray<Saveable>(4);
    EXPECT_EQ(describe(&t),
              u"FileTree{name=\u6587\u4EF6, size=-9223372036854775808, lastTime=1234567890123, dir=true, "
              u"files=ObjArray[4]}");
}

TEST(SaveableBase, CountingReleaseAndBaseDescription) {
    LogCapture log;
    auto* t = new FileTree();
    t->useCount += 1;
    t->release();
    EXPECT_EQ(t->useCount, 1);
    String* base = t->Saveable::toString();
    EXPECT_EQ(units(base).rfind(u"Saveable@", 0), 0u);
    EXPECT_GT(base->length, 9);
    releaseString(base);
    t->release();  // deleted at 0, silently
    EXPECT_TRUE(log.take().empty());
}

TEST(SaveableArrays, NullOrEmptyArraysWriteZero) {
    AccessOut out(8);
    writeSaveableArray(nullptr, &out);
    ObjArray<Saveable> none(0);
    writeSaveableArray(&none, &out, 1);
    ObjArray<Saveable> holes(2);
    writeSaveableArray(&holes, &out);
    EXPECT_EQ(contents(out), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(readSaveableArray(nullptr), nullptr);
    EXPECT_EQ(readSaveableArray(&out), nullptr);
    EXPECT_EQ(readSaveableArray(&out, 3), nullptr);
    EXPECT_EQ(readSaveableArray(&out), nullptr);
    EXPECT_EQ(readSaveableArray(&out), nullptr);  // EOF: logged, null
}

TEST(SaveableArrays, StreamFailureWhileWritingIsReportedAsFalse) {
    FileTree t;
    t.name = makeString(std::u16string(30000, u'\u00E9'));  // 60000 bytes: fits
    AccessOut out(8);
    EXPECT_TRUE(t.write(&out));
    releaseString(t.name);
    t.name = makeString(std::u16string(40000, u'\u00E9'));  // 80000 bytes: too long
    const int32_t before = out.count;
    EXPECT_FALSE(t.write(&out));
    EXPECT_EQ(out.count, before);
    EXPECT_FALSE(t.write(static_cast<DataOutput*>(nullptr)));
}

TEST(SaveableArrays, ChildThatCannotWriteItselfFailsItsParent) {
    // The parent announces two children; with one of them missing from the
    // bytes, the record is corrupt and must not be reported as written.
    FileTree root;
    root.files = new ObjArray<Saveable>(2);
    root.files->items[0] = leaf(std::u16string(40000, u'\u00E9'), 1);  // 80000 bytes: too long
    root.files->items[1] = leaf(u"b", 2);
    AccessOut out(8);
    EXPECT_FALSE(root.write(&out));
    EXPECT_FALSE(root.write(&out, 1));
    EXPECT_FALSE(writeSaveableArray(root.files, &out));
    root.files->items[0]->release();
    root.files->items[0] = nullptr;
    EXPECT_TRUE(root.write(&out));
    EXPECT_TRUE(writeSaveableArray(root.files, &out, 1));
}

TEST(PrototypeRegistry, FileTreePrototypeIsRegisteredAtLoadTime) {
    ASSERT_NE(FileTree::prototype, nullptr);
    EXPECT_EQ(FileTree::prototype->useCount, 1);
    ArrayList* registry = prototypeRegistry();
    ASSERT_NE(registry, nullptr);
    EXPECT_GE(registry->indexOf(FileTree::prototype), 0);
    ASSERT_NE(releaseHookList(), nullptr);
    EXPECT_GE(releaseHookList()->indexOf(reinterpret_cast<const void*>(&releasePrototypes)), 0);
}

}  // namespace
