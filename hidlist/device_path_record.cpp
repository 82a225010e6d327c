#include "hidlist/device_path_record.h"

#include <cstdio>

namespace hidlist {

bool writeDevicePathRecord(foundation::AccessOut& out, const char* path, size_t length) {
    if (length > MAX_DEVICE_PATH_BYTES) {
        std::printf("device path of %lu bytes too long, skipped\n",
                    static_cast<unsigned long>(length));
        std::fflush(stdout);
        return false;
    }
    static_cast<foundation::DataOutput&>(out).writeShort(static_cast<int32_t>(length));
    // Laid over the caller's bytes, not a copy; the view never frees them.
    foundation::DataArray<char> bytes(const_cast<char*>(path), static_cast<int32_t>(length));
    static_cast<foundation::OutputStream&>(out).write(&bytes);
    return true;
}

}  // namespace hidlist
