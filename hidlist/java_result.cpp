#include "hidlist/java_result.h"

#include <cstdlib>

#include "foundation/errors.h"
#include "foundation/streams.h"
#include "hidlist/device_listing.h"

namespace hidlist {

namespace {

constexpr int32_t INITIAL_CAPACITY = 4096;

}  // namespace

jbyteArray listToJavaArray(JNIEnv* env, HidDeviceSource& source) {
    try {
        foundation::AccessOut out(INITIAL_CAPACITY);
        listHidDevicePaths(out, source, std::malloc);
        const jsize n = out.count;
        if (n < 1) return nullptr;
        jbyteArray array = env->NewByteArray(n);
        if (array == nullptr) return nullptr;
        env->SetByteArrayRegion(array, 0, n, reinterpret_cast<const jbyte*>(out.buffer->data));
        return array;
    } catch (foundation::Throwable* error) {
        // A stream that cannot grow: the listing fails like its other failures.
        delete error;
        return nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace hidlist
