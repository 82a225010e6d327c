// HID device interfaces on POSIX: the device nodes of the hidraw class.
//
// sysfs lists one entry per hidraw device under class/hidraw; the entry's
// uevent file names its device node (DEVNAME, relative to /dev), which is
// what udev would create. The sysfs root can be moved with
// QUENVIL_SYSFS_ROOT so the listing can be exercised without real devices.
#include "platform/platform.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::string sysfsRoot() {
    const char* root = std::getenv("QUENVIL_SYSFS_ROOT");
    return (root != nullptr && *root != '\0') ? root : "/sys";
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Natural order: runs of digits compare by value, everything else bytewise,
// so hidraw2 comes before hidraw10.
bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            size_t si = i, sj = j;
            while (si < a.size() && a[si] == '0') ++si;
            while (sj < b.size() && b[sj] == '0') ++sj;
            size_t ei = si, ej = sj;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;  // equal by value ("hidraw01" vs "hidraw1"): keep a total order
}

// The device node an entry stands for: DEVNAME from its uevent file, or
// the entry's own name when the file says nothing.
std::string deviceNodeOf(const std::string& classDir, const std::string& entry) {
    std::ifstream uevent(classDir + "/" + entry + "/uevent");
    std::string line;
    while (std::getline(uevent, line)) {
        if (line.compare(0, 8, "DEVNAME=") == 0 && line.size() > 8) return "/dev/" + line.substr(8);
    }
    return "/dev/" + entry;
}

}  // namespace

HidDeviceList listHidDevices() {
    HidDeviceList list;
    try {
        const std::string classDir = sysfsRoot() + "/class/hidraw";
        DIR* dir = opendir(classDir.c_str());
        if (dir == nullptr) {
            // Without the hidraw driver the class does not exist: no devices.
            list.opened = errno == ENOENT;
            return list;
        }
        std::vector<std::string> entries;
        try {
            while (const dirent* e = readdir(dir)) {
                if (e->d_name[0] != '.') entries.emplace_back(e->d_name);
            }
        } catch (...) {
            closedir(dir);
            throw;
        }
        closedir(dir);
        std::sort(entries.begin(), entries.end(), naturalLess);
        list.paths.reserve(entries.size());
        for (uint32_t index = 0; index < entries.size(); ++index) {
            HidDevicePath path;
            path.index = index;
            path.path = deviceNodeOf(classDir, entries[index]);
            list.paths.push_back(std::move(path));
        }
        list.opened = true;
        return list;
    } catch (...) {
        return HidDeviceList();  // out of memory: the set cannot be opened
    }
}

}  // namespace platform
