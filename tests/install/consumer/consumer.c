/* A program built against the installed libtelo: with no scanner attached, create finds none. */
#include <stdio.h>
#include <telo.h>

int main(void) {
    Scanner* scanner = telo_scanner_create();
    if (scanner != NULL) {
        fprintf(stderr, "consumer: a scanner was found where none is attached\n");
        telo_scanner_destroy(scanner);
        return 1;
    }
    puts("consumer: no scanner");
    return 0;
}
