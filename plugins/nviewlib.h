/* The C interface of the raster decoder library libkivrel-decode.so, shared by the library and
 * by the engine that loads it at run time with dlopen.
 *
 * NViewLibLoad(path, flags)
 *   path   a zero-terminated file name (bytes as the file system takes them)
 *   flags  0; other values are reserved
 *   Returns a packed device-independent bitmap allocated with malloc, owned by the caller, who
 *   releases it with free(): a 40-byte BITMAPINFOHEADER (little-endian fields), the palette
 *   entries it announces (4 bytes each, none for 24 bits per pixel), then the pixel rows,
 *   bottom row first, each padded to a multiple of 4 bytes. biSizeImage always holds the byte
 *   count of the pixel rows, so the whole block is 40 + 4 x palette entries + biSizeImage
 *   bytes. Returns NULL when the file cannot be read or decoded.
 *
 * NViewLibVersion()
 *   The interface version the library implements; a host uses the library only when it equals
 *   the NVIEWLIB_INTERFACE_VERSION it was built with.
 */
#ifndef KIVREL_NVIEWLIB_H
#define KIVREL_NVIEWLIB_H

#ifdef __cplusplus
extern "C" {
#endif

#define NVIEWLIB_INTERFACE_VERSION 1
#define NVIEWLIB_LIBRARY_NAME "libkivrel-decode.so"
#define NVIEWLIB_LOAD_ENTRY "NViewLibLoad"
#define NVIEWLIB_VERSION_ENTRY "NViewLibVersion"

/* Largest picture side the library decodes, and largest pixel count. */
#define NVIEWLIB_MAX_SIDE 30000
#define NVIEWLIB_MAX_PIXELS (1u << 27)

typedef unsigned char* (*NViewLibLoadFn)(const char* path, int flags);
typedef int (*NViewLibVersionFn)(void);

unsigned char* NViewLibLoad(const char* path, int flags);
int NViewLibVersion(void);

#ifdef __cplusplus
}
#endif

#endif
