/* Format detection of the decoder library: which GraphicsMagick coder, if any, may read a file,
 * judged from its first bytes (and, for TGA, which has no signature, from its name and a
 * header that agrees with itself). No GraphicsMagick here, so a fuzz target can call it
 * in-process.
 *
 * NViewLibPickCoder(bytes, size, path)
 *   bytes, size  the file's contents (bytes may be NULL when size is 0)
 *   path         the file name, only its extension is looked at; may be NULL
 *   Returns a static coder name ("BMP", "GIF", "JPEG", "RLE", "PCX", "TGA"), or NULL when the
 *   bytes are none of those formats.
 *
 * NViewLibDeclaredSize(bytes, size, coder, width, height)
 *   The picture size a header of that coder declares, read without decoding anything: for GIF
 *   the larger of the logical screen and the first picture's frame in each direction, for
 *   JPEG the first frame header, for BMP the absolute height. Returns 1 and sets *width and
 *   *height when the header holds a size; 0 when it is cut short or the coder is unknown.
 */
#ifndef KIVREL_NVIEWLIB_DETECT_H
#define KIVREL_NVIEWLIB_DETECT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

const char* NViewLibPickCoder(const unsigned char* bytes, size_t size, const char* path);
int NViewLibDeclaredSize(const unsigned char* bytes, size_t size, const char* coder,
                         unsigned long* width, unsigned long* height);

#ifdef __cplusplus
}
#endif

#endif
