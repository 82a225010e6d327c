#include "hidlist/java_result.h"

#include <cstdio>
#include <string>

#include "foundation/errors.h"
#include "foundation/streams.h"
#include "hidlist/device_path_records.h"

namespace hidlist {

namespace {

constexpr int32_t INITIAL_CAPACITY = 4096;

}  // namespace

jbyteArray listToJavaArray(JNIEnv* env, HidDeviceLister list) {
    try {
        foundation::AccessOut out(INITIAL_CAPACITY);
        const std::string diagnostics = writeDevicePathRecords(out, list());
        if (!diagnostics.empty()) {
            std::fputs(diagnostics.c_str(), stdout);
            // The VM writes its own output past this buffer: keep the order.
            std::fflush(stdout);
        }
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
