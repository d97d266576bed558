/* SPDX-License-Identifier: MIT */
/* libtelo: SDK for the T900 camera-type USB barcode scanner.
 *
 * A plain C interface: one opaque handle per scanner and one result record per
 * decoded barcode. All memory that crosses this interface is allocated and freed
 * by the library. Booleans are one byte (1 true, 0 false).
 */
#ifndef TELO_H
#define TELO_H

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(TELO_BUILDING_LIBRARY)
#define TELO_API __declspec(dllexport)
#else
#define TELO_API __declspec(dllimport)
#endif
#else
#define TELO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Opaque handle for one scanner. */
typedef struct Scanner Scanner;

/** One decoded barcode; owned by the caller until telo_symbol_destroy. */
typedef struct Symbol {
    int32_t type;   /**< symbology index of the result, -1 for one without (telo_constants.h) */
    char* text;     /**< the barcode's raw bytes followed by one NUL */
    int32_t length; /**< number of barcode bytes in text, without the NUL */
} Symbol;

/** Finds the scanner, creates the decoding engine and starts the LED/beeper thread.
 *  Returns null when no scanner is attached or the engine settings cannot be loaded. */
TELO_API Scanner* telo_scanner_create(void);

/** Ends a handle: stops its thread, closes the camera and frees it. Null does nothing. */
TELO_API void telo_scanner_destroy(Scanner* scanner);

/** True when the scanner is present and its camera open. Opens or closes the camera
 *  as the scanner comes and goes. Must not run concurrently with itself or with
 *  telo_scanner_decode on the same handle. Its name is the exported one programs link to. */
TELO_API bool telo_scanner_is_connect(Scanner* scanner);

/** Decodes the newest frame. Returns null when there is no frame or no barcode. */
TELO_API Symbol* telo_scanner_decode(Scanner* scanner);

/** Enables or disables one symbology (index 0..17). True when the engine accepted it. */
TELO_API bool telo_scanner_add_type(Scanner* scanner, int32_t index, bool enable);

/** Posts a beep of the given length in milliseconds; false when the LED/beeper is busy. */
TELO_API bool telo_scanner_beep(Scanner* scanner, int32_t milliseconds);

/** Posts a new LED state; false when the LED/beeper is busy. */
TELO_API bool telo_scanner_led(Scanner* scanner, bool on);

/** Frees a result and its text. Null does nothing. */
TELO_API void telo_symbol_destroy(Symbol* symbol);

#ifdef __cplusplus
}
#endif

#endif /* TELO_H */
