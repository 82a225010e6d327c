// Handing the new VM its first class: defined from the launcher's own data
// with no class loader, then its main called with the launch strings. What
// the launcher calls; the hand-off's steps, for the tests:
// bootstrap_handoff_internal.h.
#pragma once

#include <jni.h>

#include <cstdint>

#include "launcher/outcome.h"

namespace launcher {

// The hand-off: defines the bootstrap class (NO_BOOTSTRAP_CLASS when that
// fails; else the class in *mainClass) and calls its main (callMain).
Outcome handOffToBootstrap(JNIEnv* env, jclass* mainClass, int32_t count, const char* const* strings);

}  // namespace launcher
