// Loading the library runs only the static initialisers; the library has no
// use for thread attach and detach notifications.
#include <windows.h>

#include "platform/callback_type.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
TAVELIN_CHECK_CALLBACK(DllMain, BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID));
