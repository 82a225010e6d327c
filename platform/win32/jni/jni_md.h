// Machine-dependent JNI types and calling convention for the 32-bit Windows
// build. mingw ships no JNI headers: this directory goes on the include path
// ahead of the JDK's include/ so the JDK's jni.h picks up this file.
// The 64-bit test build uses it as it is: long stays 32-bit on 64-bit
// Windows, and x64 compilers ignore __stdcall (one convention there).
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

// A build that names its exports in a .def file defines JNIEXPORT empty.
#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif  // _JAVASOFT_JNI_MD_H_
