// Turning the machine's device list into the native method's result.
#pragma once

#include <jni.h>

#include "platform/platform.h"

namespace hidlist {

// Where the device list comes from: platform::listHidDevices, or a
// scripted list in tests.
using HidDeviceLister = platform::HidDeviceList (*)();

// Lists the devices, prints the diagnostic lines to standard output and
// returns the records as a new Java byte array, or null when nothing was
// written, when the array cannot be made (the VM's exception stays
// pending) or when the listing fails. No C++ exception leaves this
// function.
jbyteArray listToJavaArray(JNIEnv* env, HidDeviceLister list);

}  // namespace hidlist
