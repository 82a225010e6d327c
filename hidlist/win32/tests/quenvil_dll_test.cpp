// Quenvil.dll the way the 32-bit VM uses it: loaded by path, the native
// method bound by its stdcall-decorated name, called with a JNIEnv whose
// only working functions are the two the listing needs. Wine presents a
// few virtual HID interfaces; how many is its business, so the result is
// checked for its form, not its size.
#include <gtest/gtest.h>

#include <windows.h>

#include <jni.h>

#include <string>
#include <vector>

#include "launcher/win32/tests/jni_stand_in.h"

namespace {

using HidList = jbyteArray(JNICALL*)(JNIEnv* env, jobject receiver);

#if defined(_WIN32) && !defined(_WIN64)
const char EXPORT_NAME[] = "_Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList@8";
#else
// The 64-bit test build: x64 names carry no decoration.
const char EXPORT_NAME[] = "Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList";
#endif

// What the library asked of the stand-in VM.
struct Calls {
    std::vector<jsize> newArrayLengths;
    std::vector<jsize> regionStarts;
    std::vector<jsize> regionLengths;
    std::vector<unsigned char> bytes;
    bool refuseArrays = false;
};
Calls calls;
char arrayToken;

jbyteArray JNICALL newByteArray(JNIEnv*, jsize length) {
    calls.newArrayLengths.push_back(length);
    return calls.refuseArrays ? nullptr : reinterpret_cast<jbyteArray>(&arrayToken);
}

void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length, const jbyte* bytes) {
    EXPECT_EQ(array, reinterpret_cast<jbyteArray>(&arrayToken));
    calls.regionStarts.push_back(start);
    calls.regionLengths.push_back(length);
    calls.bytes.assign(reinterpret_cast<const unsigned char*>(bytes),
                       reinterpret_cast<const unsigned char*>(bytes) + length);
}

std::wstring hostPath(const char* posixPath) {
    std::wstring path = L"Z:";
    for (const char* p = posixPath; *p != '\0'; ++p) path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return path;
}

class QuenvilDll : public ::testing::Test {
protected:
    void SetUp() override {
        calls = Calls();
        jni_stand_in::fillWithTraps(functions);
        functions.NewByteArray = &newByteArray;
        functions.SetByteArrayRegion = &setByteArrayRegion;
        env.functions = &functions;
        library = LoadLibraryW(hostPath(QUENVIL_PATH).c_str());
        ASSERT_NE(library, nullptr) << "error " << GetLastError();
        list = reinterpret_cast<HidList>(reinterpret_cast<void*>(GetProcAddress(library, EXPORT_NAME)));
        ASSERT_NE(list, nullptr) << "no export " << EXPORT_NAME;
    }
    void TearDown() override {
        if (library != nullptr) FreeLibrary(library);
    }

    JNINativeInterface_ functions;
    JNIEnv env;
    HMODULE library = nullptr;
    HidList list = nullptr;
};

// The records of a result: two bytes of length (big-endian), that many path
// bytes, until the array ends. Fails the test on a malformed array.
std::vector<std::string> parseRecords(const std::vector<unsigned char>& bytes) {
    std::vector<std::string> paths;
    size_t at = 0;
    while (at < bytes.size()) {
        EXPECT_LE(at + 2, bytes.size()) << "a length field cut short";
        if (at + 2 > bytes.size()) break;
        const size_t length = static_cast<size_t>(bytes[at]) << 8 | bytes[at + 1];
        at += 2;
        EXPECT_LE(at + length, bytes.size()) << "a path runs past the array";
        if (at + length > bytes.size()) break;
        paths.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return paths;
}

TEST_F(QuenvilDll, ListsTheDevicePathsAsLengthPrefixedRecords) {
    jbyteArray result = list(&env, nullptr);
    if (result == nullptr) {
        // No interfaces: null, never an empty array.
        EXPECT_TRUE(calls.newArrayLengths.empty());
        EXPECT_TRUE(calls.regionLengths.empty());
        return;
    }
    EXPECT_EQ(result, reinterpret_cast<jbyteArray>(&arrayToken));
    ASSERT_EQ(calls.newArrayLengths.size(), 1u);
    ASSERT_EQ(calls.regionLengths.size(), 1u);
    EXPECT_GT(calls.newArrayLengths[0], 0);
    EXPECT_EQ(calls.regionStarts[0], 0);
    EXPECT_EQ(calls.regionLengths[0], calls.newArrayLengths[0]);

    std::vector<std::string> paths = parseRecords(calls.bytes);
    EXPECT_FALSE(paths.empty());
    for (const std::string& path : paths) {
        std::printf("device path: %s\n", path.c_str());
        // Device interface paths of the setup API: \\?\hid#...
        EXPECT_EQ(path.compare(0, 4, "\\\\?\\"), 0) << path;
        EXPECT_EQ(path.find('\0'), std::string::npos) << "a terminator inside a record";
    }

    // The receiver is not used: a static or an instance declaration alike.
    const std::vector<unsigned char> first = calls.bytes;
    calls = Calls();
    char receiver;
    EXPECT_EQ(list(&env, reinterpret_cast<jobject>(&receiver)), reinterpret_cast<jbyteArray>(&arrayToken));
    EXPECT_EQ(calls.bytes, first) << "a second call lists the same interfaces";
}

TEST_F(QuenvilDll, AnArrayTheVmCannotMakeGivesNull) {
    calls.refuseArrays = true;
    EXPECT_EQ(list(&env, nullptr), nullptr);
    EXPECT_LE(calls.newArrayLengths.size(), 1u);
    EXPECT_TRUE(calls.regionLengths.empty()) << "nothing is copied into a missing array";
}

}  // namespace
