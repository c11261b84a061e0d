/* An engine library that lacks most of its entry points. */
#include <stdint.h>

short VT_LOADTTS_EXT_JPN(intptr_t window, int speaker, const char* dir, int a, int b, int c) {
    (void)window, (void)speaker, (void)dir, (void)a, (void)b, (void)c;
    return 0;
}
