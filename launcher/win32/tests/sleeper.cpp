// A process for the stale-instance test to find: it signals the event named
// by its argument once it runs (so its path can be read), then only waits,
// and ends by itself (exit code 7) long after any test would have
// terminated it.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) {
        if (HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[1])) {
            SetEvent(ready);
            CloseHandle(ready);
        }
    }
    Sleep(120000);
    return 7;
}
