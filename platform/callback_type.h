// Functions the Java VM or Windows call through a pointer: JNI native
// methods, hooks handed to the VM in a JavaVMOption, thread and window
// procedures, DllMain. On 32-bit Windows the calling convention is part of
// such a function's type (JNICALL and WINAPI are __stdcall: the callee pops
// its arguments). One declared without it still compiles and links when it
// leaves our hands as a void* (RegisterNatives' table, a JavaVMOption's
// extraInfo, a cast) or by its exported name, and the process crashes at
// its first call; the 64-bit and Linux builds, with one convention, cannot
// show it at all.
//
// TAVELIN_CHECK_CALLBACK(function, pointer type) makes it a compile error
// in the 32-bit build: the function must have exactly that pointer type,
// convention, parameters and result. Place it after the function's
// declaration, in the file that defines it or hands it over:
//
//   TAVELIN_CHECK_CALLBACK(exitHook, void(JNICALL*)(jint));
//   TAVELIN_CHECK_CALLBACK(threadMain, DWORD(WINAPI*)(LPVOID));
#pragma once

#include <type_traits>

#define TAVELIN_CHECK_CALLBACK(function, ...)                                    \
    static_assert(std::is_same<decltype(&function), __VA_ARGS__>::value,        \
                  #function " is called back through " #__VA_ARGS__              \
                  ": declare it with exactly that type, calling convention included")
