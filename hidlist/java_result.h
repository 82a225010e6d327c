// Turning a listing into the native method's result.
#pragma once

#include <jni.h>

#include "hidlist/device_source.h"

namespace hidlist {

// Lists source into a local stream and returns its bytes as a new Java
// byte array, or null when nothing was written, when the array cannot be
// made (the VM's exception stays pending) or when the stream fails. No C++
// exception leaves this function.
jbyteArray listToJavaArray(JNIEnv* env, HidDeviceSource& source);

}  // namespace hidlist
