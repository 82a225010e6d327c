// Fixed arrays of plain elements, fixed arrays of counted objects, and a
// growable list of untyped pointers.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "foundation/errors.h"
#include "foundation/object.h"

namespace foundation {

// Fixed-length array of bytes (DataArray<char>) or UTF-16 units
// (DataArray<char16_t>). Owned storage holds length + 1 zero-filled
// elements, so the last one is always a terminator. Users read and write
// data and length directly; the array itself checks no index.
template <typename T>
class DataArray : public Object {
public:
    // Owned, zero-filled storage of length + 1 elements; OUT_OF_MEMORY when
    // it cannot be had (also for a negative length).
    explicit DataArray(int32_t length);
    // Wraps storage the array does not own (and never frees).
    DataArray(T* storage, int32_t length);
    ~DataArray() override;
    String* toString() override;

    T* data;
    bool ownsData;
    int32_t length;
};

extern template class DataArray<char>;
extern template class DataArray<char16_t>;

// Releases one hold on an element of an ObjArray; overloaded per element
// type (String in strings.h, Saveable in records.h).
void releaseElement(String* element);

// Fixed-length array of counted object pointers. The array owns one hold
// on every non-null slot and gives it up when it is destroyed.
template <typename T>
class ObjArray : public Object {
public:
    // count + 1 null slots; OUT_OF_MEMORY when they cannot be had.
    explicit ObjArray(int32_t count) : items(nullptr), count(count) {
        if (count < 0) throwError(OUT_OF_BOUNDS);
        items = static_cast<T**>(std::calloc(static_cast<size_t>(count) + 1, sizeof(T*)));
        if (items == nullptr) throwError(OUT_OF_MEMORY);
    }
    // The factory of the record readers: a negative count is OUT_OF_BOUNDS.
    static ObjArray* create(int32_t count) {
        if (count < 0) throwError(OUT_OF_BOUNDS);
        return new ObjArray(count);
    }
    ~ObjArray() override {
        if (items == nullptr) return;
        for (int32_t i = 0; i < count; ++i) {
            if (items[i] != nullptr) {
                T* element = items[i];
                items[i] = nullptr;
                releaseElement(element);
            }
        }
        std::free(items);
        items = nullptr;
    }
    String* toString() override;

    T** items;
    int32_t count;
};

// "ObjArray[" + count + "]", shared by every element type.
String* describeObjArray(int32_t count);

template <typename T>
String* ObjArray<T>::toString() {
    return describeObjArray(count);
}

// Growable list of untyped pointers; doubles when full. Does not own what
// its entries point to. A failed growth leaves the list as it was.
class ArrayList : public Object {
public:
    explicit ArrayList(int32_t capacity);
    ~ArrayList() override;
    String* toString() override;

    // Appends p; returns false (list unchanged) when growth fails.
    bool add(void* p);
    // Index of the first entry equal to p, or -1.
    int32_t indexOf(const void* p) const;

    void** items;
    int32_t size;
    int32_t capacity;
};

}  // namespace foundation
