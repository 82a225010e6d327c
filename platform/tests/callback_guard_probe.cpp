// Compiled, not run, by callback_guard.cmake: a VM hook checked against its
// stdcall pointer type, declared with the convention or without it.
#include "platform/callback_type.h"

#ifdef DECLARED_WITH_CONVENTION
#define HOOK_CONVENTION __stdcall
#else
#define HOOK_CONVENTION
#endif

void HOOK_CONVENTION exitHook(long code) { (void)code; }
TAVELIN_CHECK_CALLBACK(exitHook, void(__stdcall*)(long));
