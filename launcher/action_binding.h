// The native method a host class may declare as
//   native void onAction(int action, String text)
// and bind with RegisterNatives. The launcher itself binds it nowhere.
#pragma once

#include <jni.h>

#include "foundation/strings.h"

namespace launcher {

// The native method "onAction" (ILjava/lang/String;)V.
void JNICALL onAction(JNIEnv* env, jobject receiver, jint action, jstring text);
// Takes no action.
void handleAction(jint action, foundation::String* text);
// The one-entry binding table for RegisterNatives.
extern const JNINativeMethod ACTION_BINDING[1];

}  // namespace launcher
