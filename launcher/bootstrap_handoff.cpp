#include "launcher/bootstrap_handoff.h"

#include "launcher/bootstrap_handoff_internal.h"
#include "launcher/class_text_decoding.h"
#include "launcher/hash_binding.h"

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
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    if (array == nullptr) return nullptr;
    for (int32_t i = 0; i < count; ++i) {
        jstring element = env->NewStringUTF(strings[i]);
        // A missing launch string would reach main as null.
        if (element == nullptr) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, i, element);
        env->DeleteLocalRef(element);
    }
    return array;
}

namespace {

// How the bootstrap class's last load cycle ended (its cycleOutcome);
// CYCLE_NO_CLIENT when that cannot be read.
int32_t lastCycleOutcome(JNIEnv* env, jclass mainClass) {
    jfieldID field = env->GetStaticFieldID(mainClass, "cycleOutcome", "I");
    if (field == nullptr) {
        env->ExceptionClear();
        return CYCLE_NO_CLIENT;
    }
    return env->GetStaticIntField(mainClass, field);
}

}  // namespace

Outcome callMain(JNIEnv* env, jclass mainClass, int32_t count, const char* const* strings) {
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (main == nullptr) return Outcome::NO_MAIN;
    jobjectArray arguments = makeStringArray(env, count, strings);
    if (arguments == nullptr) {
        // Without all its launch strings main is not called at all.
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        return Outcome::NO_MAIN;
    }
    // Runs the whole hosted application.
    env->CallStaticVoidMethod(mainClass, main, arguments);
    bool threw = env->ExceptionCheck() == JNI_TRUE;
    // Printed on standard error (Tavelin.log on a GUI start); this clears it.
    if (threw) env->ExceptionDescribe();
    switch (lastCycleOutcome(env, mainClass)) {
        case CYCLE_START_RETURNED:
            return threw ? Outcome::MAIN_THREW : Outcome::CLIENT_ENDED;
        case CYCLE_START_FAILED:
            return Outcome::START_FAILED;
        default:
            return Outcome::NO_CLIENT;
    }
}

Outcome handOffToBootstrap(JNIEnv* env, jclass* mainClass, int32_t count, const char* const* strings) {
    *mainClass = defineBootstrapClass(env);
    if (*mainClass == nullptr) return Outcome::NO_BOOTSTRAP_CLASS;
    bindHashing(env, *mainClass);
    return callMain(env, *mainClass, count, strings);
}

}  // namespace launcher
