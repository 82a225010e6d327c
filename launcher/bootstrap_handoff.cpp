// Handing the new VM its first class: defined from the launcher's own data
// with no class loader, then its main called with the launch strings.
#include "launcher/launcher.h"

namespace launcher {

const char BOOTSTRAP_CLASS_NAME[] = "com/mirl/runbed/Main";

jclass defineBootstrapClass(JNIEnv* env) {
    foundation::DataArray<char>* decoded = decodeBase64(BOOTSTRAP_CLASS_TEXT, BOOTSTRAP_CLASS_TEXT_LENGTH);
    if (decoded == nullptr) return nullptr;
    foundation::DataArray<char>* classBytes = gunzipBytes(decoded, decoded->length);
    delete decoded;
    if (classBytes == nullptr) return nullptr;
    // Refused bytes give null with the VM's exception left pending.
    jclass defined = env->DefineClass(BOOTSTRAP_CLASS_NAME, nullptr, reinterpret_cast<const jbyte*>(classBytes->data),
                                      classBytes->length);
    delete classBytes;
    return defined;
}

jobjectArray makeStringArray(JNIEnv* env, int32_t count, const char* const* strings) {
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    if (array == nullptr) return nullptr;
    for (int32_t i = 0; i < count; ++i) {
        jstring element = env->NewStringUTF(strings[i]);
        env->SetObjectArrayElement(array, i, element);
        env->DeleteLocalRef(element);
    }
    return array;
}

int32_t callMain(LauncherSystem& system, VmHost* host, int32_t count, const char* const* strings) {
    JNIEnv* env = host->env;
    jmethodID main = env->GetStaticMethodID(host->mainClass, "main", "([Ljava/lang/String;)V");
    if (main == nullptr) {
        system.messageBox(u"加载主函数失败", NOTICE_CAPTION);
        return RUN_NO_MAIN;
    }
    jobjectArray arguments = makeStringArray(env, count, strings);
    // Runs the whole hosted application; a Java exception escaping it is
    // not examined.
    env->CallStaticVoidMethod(host->mainClass, main, arguments);
    return RUN_MAIN_RETURNED;
}

}  // namespace launcher
