/* Format detection of the decoder library (see nviewlib_detect.h). The checks are strict on
 * purpose: a file that is not plainly one of these formats never reaches GraphicsMagick. */
#include "nviewlib_detect.h"

#include <string.h>
#include <strings.h>

static unsigned ReadU16(const unsigned char* p) {
  return (unsigned)p[0] | ((unsigned)p[1] << 8);
}

static int EndsWithTga(const char* path) {
  if (path == NULL) return 0;
  const size_t n = strlen(path);
  return n >= 4 && strcasecmp(path + n - 4, ".tga") == 0;
}

/* A TGA header whose image type, colour-map fields and pixel depth agree with each other. */
static int LooksLikeTga(const unsigned char* b, size_t size) {
  if (size < 18) return 0;
  const unsigned id_length = b[0];
  const unsigned map_type = b[1];
  const unsigned image_type = b[2];
  const unsigned map_length = ReadU16(b + 5);
  const unsigned map_depth = b[7];
  const unsigned width = ReadU16(b + 12);
  const unsigned height = ReadU16(b + 14);
  const unsigned depth = b[16];
  const unsigned base_type = image_type & 7u;
  if (map_type > 1) return 0;
  if (image_type != 1 && image_type != 2 && image_type != 3 && image_type != 9 &&
      image_type != 10 && image_type != 11)
    return 0;
  if (width == 0 || height == 0) return 0;
  if (b[17] & 0xC0) return 0; /* interleaving: not produced by anything current */
  size_t map_bytes = 0;
  if (map_type == 1) {
    if (map_depth != 15 && map_depth != 16 && map_depth != 24 && map_depth != 32) return 0;
    if (map_length == 0) return 0;
    map_bytes = (size_t)map_length * ((map_depth + 7) / 8);
  }
  switch (base_type) {
    case 1:
      if (map_type != 1 || (depth != 8 && depth != 16)) return 0;
      break;
    case 2:
      if (depth != 15 && depth != 16 && depth != 24 && depth != 32) return 0;
      break;
    default: /* 3: grey */
      if (depth != 8 && depth != 16) return 0;
      break;
  }
  return size > 18 + (size_t)id_length + map_bytes;
}

const char* NViewLibPickCoder(const unsigned char* b, size_t size, const char* path) {
  if (b == NULL) return NULL;
  if (size >= 2 && b[0] == 'B' && b[1] == 'M') return "BMP"; /* also Windows RLE and .dib */
  if (size >= 6 && (memcmp(b, "GIF87a", 6) == 0 || memcmp(b, "GIF89a", 6) == 0)) return "GIF";
  if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "JPEG";
  if (size >= 2 && b[0] == 0x52 && b[1] == 0xCC) return "RLE"; /* Utah raster */
  if (size >= 128 && b[0] == 0x0A && (b[1] <= 5 && b[1] != 1) && b[2] <= 1 &&
      (b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8))
    return "PCX";
  if (EndsWithTga(path) && LooksLikeTga(b, size)) return "TGA";
  return NULL;
}

static unsigned ReadU16Be(const unsigned char* p) {
  return ((unsigned)p[0] << 8) | p[1];
}

static unsigned long ReadU32(const unsigned char* p) {
  return (unsigned long)ReadU16(p) | ((unsigned long)ReadU16(p + 2) << 16);
}

static unsigned long Larger(unsigned long a, unsigned long b) {
  return a > b ? a : b;
}

/* GIF: the logical screen, and the first image descriptor after any extension blocks. */
static int GifSize(const unsigned char* b, size_t size, unsigned long* w, unsigned long* h) {
  if (size < 13) return 0;
  *w = ReadU16(b + 6);
  *h = ReadU16(b + 8);
  size_t pos = 13;
  if (b[10] & 0x80) pos += (size_t)3 << ((b[10] & 7) + 1); /* global colour table */
  while (pos < size && b[pos] == 0x21) {                   /* extension: label, sub-blocks */
    pos += 2;
    while (pos < size && b[pos] != 0)
      pos += (size_t)b[pos] + 1;
    ++pos;
  }
  if (pos + 9 > size || b[pos] != 0x2C) return 1; /* no frame to read: the screen stands */
  *w = Larger(*w, ReadU16(b + pos + 5));
  *h = Larger(*h, ReadU16(b + pos + 7));
  return 1;
}

/* JPEG: the first start-of-frame marker (SOF0..SOF15 but DHT, JPG and DAC). */
static int JpegSize(const unsigned char* b, size_t size, unsigned long* w, unsigned long* h) {
  size_t pos = 2;
  while (pos + 4 <= size) {
    if (b[pos] != 0xFF) return 0;
    const unsigned marker = b[pos + 1];
    if (marker == 0xFF) { /* fill byte */
      ++pos;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      pos += 2; /* markers without a length */
      continue;
    }
    const size_t length = ReadU16Be(b + pos + 2);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (length < 7 || pos + 9 > size) return 0;
      *h = ReadU16Be(b + pos + 5);
      *w = ReadU16Be(b + pos + 7);
      return 1;
    }
    if (marker == 0xD9 || marker == 0xDA || length < 2) return 0; /* no frame before the data */
    pos += 2 + length;
  }
  return 0;
}

int NViewLibDeclaredSize(const unsigned char* b, size_t size, const char* coder,
                         unsigned long* width, unsigned long* height) {
  if (b == NULL || coder == NULL) return 0;
  if (strcmp(coder, "GIF") == 0) return GifSize(b, size, width, height);
  if (strcmp(coder, "JPEG") == 0) return JpegSize(b, size, width, height);
  if (strcmp(coder, "BMP") == 0) {
    if (size < 26) return 0;
    if (ReadU32(b + 14) == 12) { /* core header: 16-bit sizes */
      *width = ReadU16(b + 18);
      *height = ReadU16(b + 20);
      return 1;
    }
    const unsigned long w = ReadU32(b + 18);
    const unsigned long h = ReadU32(b + 22);
    *width = w & 0x80000000ul ? 0x100000000ul - w : w; /* negative sizes count by magnitude */
    *height = h & 0x80000000ul ? 0x100000000ul - h : h;
    return 1;
  }
  if (strcmp(coder, "PCX") == 0) {
    if (size < 12) return 0;
    const unsigned x0 = ReadU16(b + 4), y0 = ReadU16(b + 6);
    const unsigned x1 = ReadU16(b + 8), y1 = ReadU16(b + 10);
    *width = x1 >= x0 ? x1 - x0 + 1ul : 0;
    *height = y1 >= y0 ? y1 - y0 + 1ul : 0;
    return 1;
  }
  if (strcmp(coder, "TGA") == 0) {
    if (size < 16) return 0;
    *width = ReadU16(b + 12);
    *height = ReadU16(b + 14);
    return 1;
  }
  if (strcmp(coder, "RLE") == 0) {
    if (size < 10) return 0;
    *width = ReadU16(b + 6);
    *height = ReadU16(b + 8);
    return 1;
  }
  return 0;
}
