/* SPDX-License-Identifier: MIT */
/* A program built against the installed libtelo. It tries create twice, as an application
 * retrying would, and says whether it got a handle and whether the handle took a symbology. */
#include <stdio.h>
#include <telo.h>
#include <telo_constants.h>

int main(void) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Scanner* scanner = telo_scanner_create();
        if (scanner != NULL) {
            const bool taken = telo_scanner_add_type(scanner, TELO_SYMBOLOGY_QR_CODE, true);
            printf("consumer %s: scanner, QR Code %s\n", TELO_VERSION, taken ? "on" : "refused");
            telo_scanner_destroy(scanner);
            return 0;
        }
    }
    printf("consumer %s: no scanner\n", TELO_VERSION);
    return 0;
}
