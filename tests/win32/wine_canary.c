/* Proves that Wine really runs Windows programs of this build's kind: a Wine
 * without support for them may start nothing and still exit with 0, so the
 * test stages look for this line before they believe any result. */
#include <stdio.h>

int main(void) {
    printf("TeskDelay Wine canary: %d-bit Windows programs run\n", (int)(sizeof(void*) * 8));
    return 0;
}
