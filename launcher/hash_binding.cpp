#include "launcher/hash_binding.h"

#include "launcher/sha256.h"
#include "platform/callback_type.h"

namespace launcher {

jboolean JNICALL nativeSha256(JNIEnv* env, jclass, jbyteArray data, jint offset, jint length, jbyteArray hash) {
    if (data == nullptr || hash == nullptr || offset < 0 || length < 0) return JNI_FALSE;
    if (offset > env->GetArrayLength(data) - length || env->GetArrayLength(hash) < 32) return JNI_FALSE;
    // Copied out a slice at a time rather than pinned: a critical section as
    // long as a whole content's hash would hold up the collector.
    Sha256 state;
    sha256Start(state);
    jbyte slice[16384];
    for (jint done = 0; done < length;) {
        jint n = length - done < jint(sizeof slice) ? length - done : jint(sizeof slice);
        env->GetByteArrayRegion(data, offset + done, n, slice);
        sha256Add(state, reinterpret_cast<const uint8_t*>(slice), size_t(n));
        done += n;
    }
    uint8_t digest[32];
    sha256Finish(state, digest);
    env->SetByteArrayRegion(hash, 0, 32, reinterpret_cast<const jbyte*>(digest));
    return JNI_TRUE;
}
TAVELIN_CHECK_CALLBACK(nativeSha256, jboolean(JNICALL*)(JNIEnv*, jclass, jbyteArray, jint, jint, jbyteArray));

bool bindHashing(JNIEnv* env, jclass bootstrapClass) {
    const JNINativeMethod binding[1] = {
        {const_cast<char*>("nativeSha256"), const_cast<char*>("([BII[B)Z"), reinterpret_cast<void*>(&nativeSha256)},
    };
    if (env->RegisterNatives(bootstrapClass, binding, 1) == 0) return true;
    env->ExceptionClear();  // NoSuchMethodError: a class without it hashes on its own
    return false;
}

}  // namespace launcher
