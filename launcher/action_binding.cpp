// The native method a host class may declare as
//   native void onAction(int action, String text)
// and bind with RegisterNatives. The launcher itself binds it nowhere.
#include "launcher/launcher.h"

namespace launcher {

void handleAction(jint, foundation::String*) {}

void JNICALL onAction(JNIEnv* env, jobject, jint action, jstring text) {
    if (text == nullptr) {
        handleAction(action, nullptr);
        return;
    }
    const char* chars = env->GetStringUTFChars(text, nullptr);
    if (chars == nullptr) return;  // out of memory, exception pending
    foundation::String* local = foundation::stringFromUtf8(chars);
    handleAction(action, local);
    env->ReleaseStringUTFChars(text, chars);
    foundation::releaseString(local);
}

const JNINativeMethod ACTION_BINDING[1] = {
    {const_cast<char*>("onAction"), const_cast<char*>("(ILjava/lang/String;)V"), reinterpret_cast<void*>(&onAction)},
};

}  // namespace launcher
