#include "foundation/records.h"

#include <cstdio>
#include <new>

#include "foundation/errors.h"

namespace foundation {

namespace {

// How deep the FileTree reader currently is below the record it started
// from; one reader per thread.
thread_local int32_t nestingLevel = 0;

// Set by every FileTree read as it returns: true when it failed only
// because the stream ended inside its fields. A list may keep the children
// read before such a child, since nothing after it can be misread; after
// any other failure the stream stands inside the child's bytes and the
// list must fail too.
thread_local bool failedAtStreamEnd = false;

struct NestingGuard {
    NestingGuard() { ++nestingLevel; }
    ~NestingGuard() { --nestingLevel; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

ArrayList* registry = nullptr;

// Logs the text of an error code the readers raise without throwing it
// (nothing is allocated for it, so this also serves when memory ran out).
void logReadFailure(int32_t code) {
    Throwable failure(code);
    logErrorCode(&failure, u"Saveable");
}

// True when every element wrote itself. An element that could not has
// left the count announcing more records than follow, so the caller must
// not take the bytes for a record.
bool writeArray(ObjArray<Saveable>* array, DataOutput* out, bool withFlags, int32_t flags) {
    if (out == nullptr) throwError(EMPTY);
    if (array == nullptr || array->count < 1) {
        out->writeInt(0);
        return true;
    }
    int32_t present = 0;
    for (int32_t i = 0; i < array->count; ++i) {
        if (array->items[i] != nullptr) ++present;
    }
    out->writeInt(present);
    bool written = true;
    for (int32_t i = 0; i < array->count && written; ++i) {
        Saveable* element = array->items[i];
        if (element == nullptr) continue;
        written = withFlags ? element->write(out, flags) : element->write(out);
    }
    return written;
}

// Reads a child list into *result. True with the list (or null for none)
// when the list is sound, also when the stream ended inside it: then the
// children read before the end are kept and later slots stay null. False,
// with *result null, when the bytes cannot be read as that list: a count
// the rest of the stream can never hold, children below the nesting limit,
// a child that failed other than at the end of the stream, or no memory.
// Failures of the list's own steps are logged under "Saveable".
bool readArray(DataInput* in, bool withFlags, int32_t flags, ObjArray<Saveable>** result) {
    *result = nullptr;
    if (in == nullptr) return true;
    ObjArray<Saveable>* array = nullptr;
    try {
        const int32_t count = in->readInt();
        if (count <= 0) return true;
        // Refused before allocating slots for it; logged as the end of the
        // stream it would run into.
        if (count > in->available() / FILE_TREE_MIN_BYTES) {
            logReadFailure(STREAM_EOF);
            return false;
        }
        if (nestingLevel >= FILE_TREE_MAX_DEPTH) {
            logReadFailure(READ_ERR);
            return false;
        }
        Saveable* prototype = FileTree::prototype;
        // Without a prototype the children cannot be read, nor passed over.
        if (prototype == nullptr) return false;
        array = ObjArray<Saveable>::create(count);
        NestingGuard nested;
        for (int32_t i = 0; i < count; ++i) {
            Saveable* element = prototype->newInstance();
            if (element == nullptr) {
                delete array;
                return false;
            }
            failedAtStreamEnd = false;
            const bool ok = withFlags ? element->read(in, flags) : element->read(in);
            if (!ok) {
                const bool atEnd = failedAtStreamEnd && in->available() <= 0;
                delete element;
                if (atEnd) break;
                delete array;
                return false;
            }
            array->items[i] = element;
        }
        *result = array;
        return true;
    } catch (Throwable* error) {
        // A count cut off by the end of the stream leaves a sound, empty
        // list; anything else (no memory for the slots) does not.
        const bool atEnd = error->code == STREAM_EOF && in->available() <= 0;
        logErrorCode(error, u"Saveable");
        delete error;
        delete array;
        return atEnd;
    } catch (const std::bad_alloc&) {
        logReadFailure(OUT_OF_MEMORY);
        delete array;
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Pieces of the records' descriptions

void releaseField(String*& field) {
    if (field == nullptr) return;
    String* old = field;
    field = nullptr;
    releaseString(old);
}

void appendTextOrNull(StringBuilder& builder, const String* text) {
    if (text == nullptr) {
        builder.append(static_cast<const char16_t*>(nullptr));
    } else {
        builder.append(text->chars, text->length);
    }
}

void appendDecimal(StringBuilder& builder, int64_t value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    builder.append(digits);
}

// ---------------------------------------------------------------------------
// Saveable

Saveable::Saveable() : useCount(1) {}

Saveable::~Saveable() {
    if (useCount != 0) logMessage(LOG_LEVEL_INFO, u"Saveable", u"free saveable useCount = %d", useCount);
}

void Saveable::release() {
    useCount -= 1;
    if (useCount == 0) delete this;
}

String* Saveable::toString() {
    char text[32];
    std::snprintf(text, sizeof text, "Saveable@%p", static_cast<void*>(this));
    return stringFromAcp(text);
}

bool Saveable::write(DataArray<char>*) {
    return false;
}

bool Saveable::write(DataOutput* out, int32_t) {
    return write(out);
}

bool Saveable::read(DataArray<char>*) {
    return false;
}

bool Saveable::read(DataInput* in, int32_t) {
    return read(in);
}

void releaseElement(Saveable* element) {
    element->release();
}

// ---------------------------------------------------------------------------
// FileTree

FileTree* FileTree::prototype = static_cast<FileTree*>(registerPrototype(new FileTree()));

FileTree::FileTree() : name(nullptr), size(0), lastTime(0), dir(false), files(nullptr) {}

FileTree::~FileTree() {
    FileTree::clear();
}

void FileTree::clear() {
    releaseField(name);
    if (files != nullptr) {
        ObjArray<Saveable>* old = files;
        files = nullptr;
        delete old;
    }
}

Saveable* FileTree::newInstance() {
    return new FileTree();
}

String* FileTree::toString() {
    StringBuilder builder;
    builder.append(u"FileTree{name=");
    appendTextOrNull(builder, name);
    builder.append(u", size=");
    appendDecimal(builder, size);
    builder.append(u", lastTime=");
    appendDecimal(builder, lastTime);
    builder.append(u", dir=");
    builder.append(dir ? u"true" : u"false");
    builder.append(u", files=");
    builder.append(static_cast<Object*>(files));
    builder.append(u'}');
    return builder.toStringBuilderString();
}

bool FileTree::write(DataOutput* out) {
    return writeFields(out, false, 0);
}

bool FileTree::write(DataOutput* out, int32_t flags) {
    return writeFields(out, true, flags);
}

bool FileTree::read(DataInput* in) {
    return readFields(in, false, 0);
}

bool FileTree::read(DataInput* in, int32_t flags) {
    return readFields(in, true, flags);
}

bool FileTree::writeFields(DataOutput* out, bool withFlags, int32_t flags) {
    if (out == nullptr) return false;
    try {
        out->writeUTF(name);
        out->writeLong(size);
        out->writeLong(lastTime);
        out->writeBoolean(dir);
        return writeArray(files, out, withFlags, flags);
    } catch (Throwable* error) {
        delete error;
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FileTree::readFields(DataInput* in, bool withFlags, int32_t flags) {
    failedAtStreamEnd = false;
    if (in == nullptr) return false;
    clear();
    try {
        name = in->readUTF();
        size = in->readLong();
        lastTime = in->readLong();
        dir = in->readBoolean();
    } catch (Throwable* error) {
        failedAtStreamEnd = error->code == STREAM_EOF && in->available() <= 0;
        delete error;
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    ObjArray<Saveable>* children = nullptr;
    const bool listRead = readArray(in, withFlags, flags, &children);
    // The children's reads have set the flag for themselves.
    failedAtStreamEnd = false;
    files = children;
    return listRead;
}

// ---------------------------------------------------------------------------
// Array helpers

bool writeSaveableArray(ObjArray<Saveable>* array, DataOutput* out) {
    return writeArray(array, out, false, 0);
}

bool writeSaveableArray(ObjArray<Saveable>* array, DataOutput* out, int32_t flags) {
    return writeArray(array, out, true, flags);
}

ObjArray<Saveable>* readSaveableArray(DataInput* in) {
    ObjArray<Saveable>* array = nullptr;
    readArray(in, false, 0, &array);
    return array;
}

ObjArray<Saveable>* readSaveableArray(DataInput* in, int32_t flags) {
    ObjArray<Saveable>* array = nullptr;
    readArray(in, true, flags, &array);
    return array;
}

// ---------------------------------------------------------------------------
// Prototype registry

Saveable* registerPrototype(Saveable* record) {
    if (registry == nullptr) registry = new ArrayList(64);
    registry->add(record);
    addReleaseHook(&releasePrototypes);
    return record;
}

ArrayList* prototypeRegistry() {
    return registry;
}

void releasePrototypes() {
    // A release may change the registry, so it is re-read after each entry.
    for (int32_t i = 0; registry != nullptr && i < registry->size; ++i) {
        Saveable* record = static_cast<Saveable*>(registry->items[i]);
        if (record == nullptr) continue;
        registry->items[i] = nullptr;
        if (record == FileTree::prototype) FileTree::prototype = nullptr;
        record->release();
    }
    delete registry;
    registry = nullptr;
}

}  // namespace foundation
