#include "foundation/records.h"

#include <cstdio>

#include "foundation/errors.h"

namespace foundation {

namespace {

// How deep the FileTree reader currently is below the record it started
// from; one reader per thread.
thread_local int32_t nestingLevel = 0;

struct NestingGuard {
    NestingGuard() { ++nestingLevel; }
    ~NestingGuard() { --nestingLevel; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

ArrayList* registry = nullptr;

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

ObjArray<Saveable>* readArray(DataInput* in, bool withFlags, int32_t flags) {
    if (in == nullptr) return nullptr;
    ObjArray<Saveable>* array = nullptr;
    try {
        const int32_t count = in->readInt();
        if (count <= 0) return nullptr;
        // Refuse a count the rest of the stream could never hold before
        // allocating slots for it.
        if (count > in->available() / FILE_TREE_MIN_BYTES) throwError(STREAM_EOF);
        array = ObjArray<Saveable>::create(count);
        // Children below the nesting limit fail to read, like any child
        // that fails: the list ends there.
        if (nestingLevel >= FILE_TREE_MAX_DEPTH) return array;
        NestingGuard nested;
        for (int32_t i = 0; i < count; ++i) {
            Saveable* prototype = FileTree::prototype;
            if (prototype == nullptr) break;
            Saveable* element = prototype->newInstance();
            if (element == nullptr) break;
            const bool ok = withFlags ? element->read(in, flags) : element->read(in);
            if (!ok) {
                delete element;
                break;
            }
            array->items[i] = element;
        }
        return array;
    } catch (Throwable* error) {
        logErrorCode(error, u"Saveable");
        delete error;
        delete array;
        return nullptr;
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
    }
}

bool FileTree::readFields(DataInput* in, bool withFlags, int32_t flags) {
    if (in == nullptr) return false;
    clear();
    try {
        name = in->readUTF();
        size = in->readLong();
        lastTime = in->readLong();
        dir = in->readBoolean();
    } catch (Throwable* error) {
        delete error;
        return false;
    }
    files = readArray(in, withFlags, flags);
    return true;
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
    return readArray(in, false, 0);
}

ObjArray<Saveable>* readSaveableArray(DataInput* in, int32_t flags) {
    return readArray(in, true, flags);
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
