// Counted records that write themselves to a DataOutput and read themselves
// back from a DataInput, field by field in a fixed order, without tags,
// versions or lengths; and the process-wide registry of their prototypes.
// Neither deliverable saves or loads a record at run time; Quenvil fills the
// registry when it is loaded (README, "What foundation/ is for").
#pragma once

#include <cstdint>

#include "foundation/arrays.h"
#include "foundation/object.h"
#include "foundation/streams.h"
#include "foundation/strings.h"

namespace foundation {

// Base of the records. Counted: useCount is 1 after creation, every further
// holder adds 1, release() gives one back and deletes the record at 0.
class Saveable : public Object {
public:
    Saveable();
    // Logs "free saveable useCount = %d" when destroyed while still held.
    ~Saveable() override;
    void release() override;
    // "Saveable@" and the record's address.
    String* toString() override;

    // Writing to / reading from a plain byte array is not supported by any
    // record: both return false.
    virtual bool write(DataArray<char>* bytes);
    // Appends the record; false when the stream failed (the bytes already
    // appended stay).
    virtual bool write(DataOutput* out) = 0;
    // Same; flags are for the record class to interpret (the base ignores
    // them).
    virtual bool write(DataOutput* out, int32_t flags);
    virtual bool read(DataArray<char>* bytes);
    // Replaces the record's fields with the ones read; false when the
    // stream failed (fields read so far keep their new values).
    virtual bool read(DataInput* in) = 0;
    virtual bool read(DataInput* in, int32_t flags);
    // A new empty record of the same class, useCount 1, owned by the caller.
    virtual Saveable* newInstance() = 0;

    int32_t useCount;
};

// Gives up an ObjArray<Saveable>'s hold on one element.
void releaseElement(Saveable* element);

// Nesting limit for FileTree children read from a stream: the root's
// children are level 1. A record at this level that announces children
// fails to read (and with it every record above it), so crafted input
// cannot exhaust the stack; the stream is left right after that record's
// child count. A MAX_PATH path has at most 130 levels; 256
// levels take about 40 KB of stack in an optimised build.
constexpr int32_t FILE_TREE_MAX_DEPTH = 256;

// The fewest bytes one FileTree takes on the wire: empty name (2), size
// (8), lastTime (8), dir (1), child count (4).
constexpr int32_t FILE_TREE_MIN_BYTES = 23;

// A file or directory with its children.
//
// Wire format: name (writeUTF, null as empty), size (writeLong), lastTime
// (writeLong), dir (writeBoolean), then the number of non-null children
// (writeInt) followed by each of them in the same format.
class FileTree : public Saveable {
public:
    FileTree();
    ~FileTree() override;
    String* toString() override;

    using Saveable::read;
    using Saveable::write;
    bool write(DataOutput* out) override;
    bool write(DataOutput* out, int32_t flags) override;
    // False when the stream fails inside the record's own fields, or when
    // its child list cannot be read (see readSaveableArray); files is then
    // null. A child cut off by the end of the stream does not fail its
    // parent: the parent keeps the children read before it, with null
    // slots after. Allocation failures are failed reads, not exceptions.
    bool read(DataInput* in) override;
    bool read(DataInput* in, int32_t flags) override;
    Saveable* newInstance() override;
    // Gives up name and files; numbers and dir keep their values.
    virtual void clear();

    String* name;       // one counted hold; may be null
    int64_t size;
    int64_t lastTime;
    bool dir;
    ObjArray<Saveable>* files;  // owned; may be null

    // The process-wide prototype from which children are made while reading.
    static FileTree* prototype;

private:
    bool readFields(DataInput* in, bool withFlags, int32_t flags);
    bool writeFields(DataOutput* out, bool withFlags, int32_t flags);
};

// Writes 0 for a null or empty array, otherwise the number of non-null
// slots and each of those elements. False when an element could not write
// itself: the writing stops there, and the count then promises more
// records than follow. Stream failures of the count pass to the caller as
// a thrown Throwable*.
bool writeSaveableArray(ObjArray<Saveable>* array, DataOutput* out);
bool writeSaveableArray(ObjArray<Saveable>* array, DataOutput* out, int32_t flags);

// Reads a count and that many FileTrees made from FileTree's prototype.
// Null for a null stream or a count of 0 or less. A child that the end of
// the stream cuts off ends the list (later slots stay null), as does the
// end of the stream inside the count (logged under "Saveable", null).
// The list fails, giving null, when the bytes cannot be read as it: a
// count the remaining bytes can never hold, a record at the nesting limit
// that announces children, a child failing for any other reason (a
// malformed text, its own list failing), no prototype, or no memory; the
// list's own failures are logged under "Saveable". A FileTree whose list
// fails fails to read.
ObjArray<Saveable>* readSaveableArray(DataInput* in);
ObjArray<Saveable>* readSaveableArray(DataInput* in, int32_t flags);

// Gives up a record's hold on a text field and clears it (null stays null).
void releaseField(String*& field);

// Pieces of the records' descriptions (toString): the text, or "null" for
// none; a number in decimal, as the runtime's sprintf prints it.
void appendTextOrNull(StringBuilder& builder, const String* text);
void appendDecimal(StringBuilder& builder, int64_t value);

// Adds a record to the prototype registry (created on first use with room
// for 64, its release hook registered) and returns the record. A record
// that cannot be stored is silently not added.
Saveable* registerPrototype(Saveable* record);
// The registry (null until first use), for inspection.
ArrayList* prototypeRegistry();
// The registry's release hook: releases every prototype, deletes the list.
void releasePrototypes();

}  // namespace foundation
