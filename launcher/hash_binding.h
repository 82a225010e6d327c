// The bootstrap class's
//   private static native boolean nativeSha256(byte[] data, int offset, int length, byte[] hash)
// bound by the launcher once it has defined the class: the loader hashes
// the chunks of signed packages with it (and with its own Java code where
// no launcher bound it: apppack, the tests, another host).
#pragma once

#include <jni.h>

namespace launcher {

// SHA-256 of length bytes of data from offset into the first 32 bytes of
// hash; false, writing nothing, for arguments out of range.
jboolean JNICALL nativeSha256(JNIEnv* env, jclass, jbyteArray data, jint offset, jint length, jbyteArray hash);

// Binds it to the class; false (and nothing pending) where the class does
// not declare it, which costs the loader only its own hashing.
bool bindHashing(JNIEnv* env, jclass bootstrapClass);

}  // namespace launcher
