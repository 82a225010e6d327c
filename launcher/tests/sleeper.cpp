// A process that only waits, to be found (or not) by the stale-instance
// termination. It ends by itself after ten minutes at the latest.
#include <unistd.h>

int main() {
    for (int i = 0; i < 600; ++i) sleep(1);
    return 0;
}
