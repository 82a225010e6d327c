// A process for the stale-instance test to find: it only waits, and ends by
// itself (exit code 7) long after any test would have terminated it.
#include <windows.h>

int main() {
    Sleep(120000);
    return 7;
}
