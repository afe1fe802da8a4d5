/* The C interface of the raster decoder library libkivrel-decode.so, shared by the library and
 * by the engine that loads it at run time with dlopen.
 *
 * NViewLibDecode(path, flags, status, reason, reason_size)
 *   path    a zero-terminated file name (bytes as the file system takes them)
 *   flags   0; other values are reserved
 *   status  receives NVIEWLIB_OK or one of the NVIEWLIB_ERROR_* codes below; may be NULL
 *   reason, reason_size
 *           a buffer that receives a zero-terminated English sentence saying why the file was
 *           not decoded ("" on success); may be NULL with reason_size 0
 *   Returns a packed device-independent bitmap allocated with malloc, owned by the caller, who
 *   releases it with free(): a 40-byte BITMAPINFOHEADER (little-endian fields), the palette
 *   entries it announces (4 bytes each, none for 24 bits per pixel), then the pixel rows,
 *   bottom row first, each padded to a multiple of 4 bytes. biSizeImage always holds the byte
 *   count of the pixel rows, so the whole block is 40 + 4 x palette entries + biSizeImage
 *   bytes. Returns NULL when the file is not decoded; `status` and `reason` say why.
 *
 *   A quick look needs no more: the picture's size is read from its header first, and a
 *   picture whose decoding would take more than NVIEWLIB_MAX_BYTES (file, pixel cache and the
 *   returned bitmap together), more than NVIEWLIB_MAX_PIXELS pixels or more than
 *   NVIEWLIB_MAX_SIDE pixels a side is refused with NVIEWLIB_ERROR_TOO_LARGE before any pixel
 *   is decoded. GraphicsMagick's own limits hold a header that lies to the same budget.
 *
 * NViewLibLoad(path, flags)
 *   NViewLibDecode without the reason.
 *
 * NViewLibVersion()
 *   The interface version the library implements; a host uses the library only when it equals
 *   the NVIEWLIB_INTERFACE_VERSION it was built with.
 */
#ifndef KIVREL_NVIEWLIB_H
#define KIVREL_NVIEWLIB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NVIEWLIB_INTERFACE_VERSION 2
#define NVIEWLIB_LIBRARY_NAME "libkivrel-decode.so"
#define NVIEWLIB_LOAD_ENTRY "NViewLibLoad"
#define NVIEWLIB_VERSION_ENTRY "NViewLibVersion"
#define NVIEWLIB_DECODE_ENTRY "NViewLibDecode"

/* The decoding budget: largest picture side, largest pixel count, and most memory one
 * decoding may take. */
#define NVIEWLIB_MAX_SIDE 30000
#define NVIEWLIB_MAX_PIXELS (1u << 26)
#define NVIEWLIB_MAX_BYTES (512u << 20)

/* Why a file was not decoded. */
#define NVIEWLIB_OK 0
#define NVIEWLIB_ERROR_READ 1      /* missing, not a regular file, empty, or unreadable */
#define NVIEWLIB_ERROR_FORMAT 2    /* none of the formats the library decodes */
#define NVIEWLIB_ERROR_DECODE 3    /* damaged, or a variant the decoder does not take */
#define NVIEWLIB_ERROR_TOO_LARGE 4 /* over the decoding budget */
#define NVIEWLIB_ERROR_MEMORY 5    /* the system refused memory within the budget */

typedef unsigned char* (*NViewLibLoadFn)(const char* path, int flags);
typedef int (*NViewLibVersionFn)(void);
typedef unsigned char* (*NViewLibDecodeFn)(const char* path, int flags, int* status, char* reason,
                                           size_t reason_size);

unsigned char* NViewLibDecode(const char* path, int flags, int* status, char* reason,
                              size_t reason_size);
unsigned char* NViewLibLoad(const char* path, int flags);
int NViewLibVersion(void);

#ifdef __cplusplus
}
#endif

#endif
