/* A plain C program on the public header and libtelo.so alone: waits for the scanner, expects
 * the code given as its argument, then switches the LED and beeps. Exit 0 on success. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "telo.h"

static void pause_ms(long ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, NULL);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: c_api_check EXPECTED_CODE\n");
        return 2;
    }
    Scanner* scanner = NULL;
    for (int i = 0; i < 30 && scanner == NULL; ++i) {
        scanner = telo_scanner_create();
    }
    if (scanner == NULL) {
        fprintf(stderr, "no scanner\n");
        return 1;
    }
    int connected = 0;
    for (int i = 0; i < 30 && !connected; ++i) {
        connected = telo_scanner_is_connect(scanner);
    }
    Symbol* symbol = NULL;
    for (int i = 0; connected && i < 30 && symbol == NULL; ++i) {
        symbol = telo_scanner_decode(scanner);
    }
    int ok = symbol != NULL && symbol->length == (int32_t)strlen(argv[1]) &&
             memcmp(symbol->text, argv[1], strlen(argv[1])) == 0;
    if (!ok) {
        fprintf(stderr, "expected %s, got %s\n", argv[1], symbol != NULL ? symbol->text : "nothing");
    }
    telo_symbol_destroy(symbol);
    bool led = telo_scanner_led(scanner, true);
    pause_ms(50);
    bool beep = telo_scanner_beep(scanner, 20);
    pause_ms(100);
    telo_scanner_destroy(scanner);
    return ok && led && beep ? 0 : 1;
}
