#include "launcher/action_binding.h"

#include "foundation/errors.h"
#include "platform/callback_type.h"

namespace launcher {

void handleAction(jint, foundation::String*) {}

void JNICALL onAction(JNIEnv* env, jobject, jint action, jstring text) {
    if (text == nullptr) {
        handleAction(action, nullptr);
        return;
    }
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) return;  // out of memory, exception pending
    // This runs as a Java native method: no C++ exception may unwind
    // through the VM's frames. Text that cannot be had is no action.
    foundation::String* local = nullptr;
    try {
        local = foundation::stringFromUtf8(chars);
        handleAction(action, local);
    } catch (foundation::Throwable* error) {
        delete error;
    } catch (...) {
    }
    env->ReleaseStringUTFChars(text, chars);
    foundation::releaseString(local);
}
// The table below hands it to the VM as a void*.
TAVELIN_CHECK_CALLBACK(onAction, void(JNICALL*)(JNIEnv*, jobject, jint, jstring));

// Bound nowhere by the launcher: it is here for a host class to register.
const JNINativeMethod ACTION_BINDING[1] = {
    {const_cast<char*>("onAction"), const_cast<char*>("(ILjava/lang/String;)V"), reinterpret_cast<void*>(&onAction)},
};

}  // namespace launcher
