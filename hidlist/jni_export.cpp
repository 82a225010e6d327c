// The library's one entry point. The receiver is not used, so the Java
// side may declare the method static or not.
#include <jni.h>

#include "hidlist/device_source.h"
#include "hidlist/java_result.h"

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList(JNIEnv* env, jobject /*receiver*/) {
    hidlist::PlatformHidDeviceSource source;
    return hidlist::listToJavaArray(env, source);
}
