#include "foundation/arrays.h"

#include <cstdint>
#include <cstring>

#include "foundation/strings.h"

namespace foundation {

template <typename T>
DataArray<T>::DataArray(int32_t length) : data(nullptr), ownsData(true), length(length) {
    if (length < 0) throwError(OUT_OF_MEMORY);
    data = static_cast<T*>(std::calloc(static_cast<size_t>(length) + 1, sizeof(T)));
    if (data == nullptr) throwError(OUT_OF_MEMORY);
}

template <typename T>
DataArray<T>::DataArray(T* storage, int32_t length) : data(storage), ownsData(false), length(length) {}

template <typename T>
DataArray<T>::~DataArray() {
    if (ownsData && data != nullptr) {
        std::free(data);
        data = nullptr;
    }
}

template <typename T>
String* DataArray<T>::toString() {
    return describeWithNumber(u"DataArray[", length, u"]");
}

template class DataArray<char>;
template class DataArray<char16_t>;

String* describeObjArray(int32_t count) {
    return describeWithNumber(u"ObjArray[", count, u"]");
}

ArrayList::ArrayList(int32_t capacity) : items(nullptr), size(0), capacity(capacity) {
    if (capacity < 0) throwError(OUT_OF_MEMORY);
    // One slot at least, so that a list of capacity 0 can still double.
    size_t slots = capacity > 0 ? static_cast<size_t>(capacity) : 1;
    items = static_cast<void**>(std::calloc(slots, sizeof(void*)));
    if (items == nullptr) throwError(OUT_OF_MEMORY);
}

ArrayList::~ArrayList() {
    std::free(items);
    items = nullptr;
}

String* ArrayList::toString() {
    return describeWithNumber(u"ArrayList(size=", size, u")");
}

bool ArrayList::add(void* p) {
    if (size >= capacity) {
        // Doubling; a capacity that would not fit in 32 bits (or in memory)
        // counts as a failed growth and leaves the list as it was.
        int64_t grown = capacity > 0 ? static_cast<int64_t>(capacity) * 2 : 1;
        if (grown > INT32_MAX || static_cast<uint64_t>(grown) > SIZE_MAX / sizeof(void*)) return false;
        void* moved = std::realloc(items, static_cast<size_t>(grown) * sizeof(void*));
        if (moved == nullptr) return false;
        items = static_cast<void**>(moved);
        capacity = static_cast<int32_t>(grown);
    }
    items[size++] = p;
    return true;
}

int32_t ArrayList::indexOf(const void* p) const {
    for (int32_t i = 0; i < size; ++i) {
        if (items[i] == p) return i;
    }
    return -1;
}

}  // namespace foundation
