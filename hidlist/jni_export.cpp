// The library's one entry point. The receiver is not used, so the Java
// side may declare the method static or not.
#include <jni.h>

#include "hidlist/java_result.h"
#include "platform/callback_type.h"
#include "platform/platform.h"

extern "C" JNIEXPORT jbyteArray JNICALL
Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList(JNIEnv* env, jobject /*receiver*/) {
    return hidlist::listToJavaArray(env, platform::listHidDevices);
}
TAVELIN_CHECK_CALLBACK(Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList,
                       jbyteArray(JNICALL*)(JNIEnv*, jobject));
