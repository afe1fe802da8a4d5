/* libkivrel-decode: decodes the raster formats the browser does not read itself (.dib .gif
 * .jif .jpg .jpeg .tga .rle .pcx) with GraphicsMagick and hands back a 24-bit packed DIB.
 *
 * The coder is chosen from the file's first bytes and forced, so a file whose contents do not
 * match one of the few formats listed here never reaches any other GraphicsMagick coder or a
 * delegate program. TGA has no signature: a ".tga" file is forced to the TGA coder only when
 * its header passes a sanity check. Sizes are capped before GraphicsMagick allocates pixels.
 */
#include "nviewlib.h"

#include <magick/api.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

/* Files larger than this are not read into memory (no listed format needs as much for a
 * picture inside the caps). */
#define MAX_FILE_BYTES ((size_t)1 << 30)

static pthread_once_t init_once = PTHREAD_ONCE_INIT;
static int init_ok = 0;

static void Quiet(const ExceptionType severity, const char* reason, const char* description) {
  (void)severity;
  (void)reason;
  (void)description;
}

static void InitializeOnce(void) {
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  /* A library must not take over the host's signal handlers. */
  InitializeMagickEx(NULL, MAGICK_OPT_NO_SIGNAL_HANDER, &exception);
  init_ok = exception.severity < ErrorException;
  DestroyExceptionInfo(&exception);
  SetErrorHandler(Quiet);
  SetWarningHandler(Quiet);
  (void)SetMagickResourceLimit(WidthResource, NVIEWLIB_MAX_SIDE);
  (void)SetMagickResourceLimit(HeightResource, NVIEWLIB_MAX_SIDE);
  (void)SetMagickResourceLimit(PixelsResource, NVIEWLIB_MAX_PIXELS);
  /* Never spill a pixel cache to disk. */
  (void)SetMagickResourceLimit(DiskResource, 0);
}

static unsigned ReadU16(const unsigned char* p) { return (unsigned)p[0] | ((unsigned)p[1] << 8); }

static int EndsWithTga(const char* path) {
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

/* The GraphicsMagick coder for the file's contents, or NULL. */
static const char* PickCoder(const unsigned char* b, size_t size, const char* path) {
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

static unsigned char* ReadFileBytes(const char* path, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (f == NULL) return NULL;
  struct stat st;
  unsigned char* data = NULL;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
      (uint64_t)st.st_size <= MAX_FILE_BYTES) {
    *size = (size_t)st.st_size;
    data = (unsigned char*)malloc(*size);
    if (data != NULL && fread(data, 1, *size, f) != *size) {
      free(data);
      data = NULL;
    }
  }
  fclose(f);
  return data;
}

static void PutU16(unsigned char* p, unsigned v) {
  p[0] = (unsigned char)(v & 0xFF);
  p[1] = (unsigned char)((v >> 8) & 0xFF);
}

static void PutU32(unsigned char* p, uint32_t v) {
  PutU16(p, v & 0xFFFF);
  PutU16(p + 2, v >> 16);
}

/* The picture as a 24-bit bottom-up packed DIB, or NULL. */
static unsigned char* ToPackedDib(Image* image, ExceptionInfo* exception) {
  const unsigned long w = image->columns;
  const unsigned long h = image->rows;
  if (w == 0 || h == 0 || w > NVIEWLIB_MAX_SIDE || h > NVIEWLIB_MAX_SIDE ||
      (uint64_t)w * h > NVIEWLIB_MAX_PIXELS)
    return NULL;
  if (image->colorspace != RGBColorspace && !TransformColorspace(image, RGBColorspace))
    return NULL;
  const size_t stride = ((size_t)w * 3 + 3) / 4 * 4;
  const size_t pixel_bytes = stride * h;
  unsigned char* dib = (unsigned char*)calloc(1, 40 + pixel_bytes);
  if (dib == NULL) return NULL;
  PutU32(dib, 40);
  PutU32(dib + 4, (uint32_t)w);
  PutU32(dib + 8, (uint32_t)h);
  PutU16(dib + 12, 1);
  PutU16(dib + 14, 24);
  PutU32(dib + 16, 0); /* BI_RGB */
  PutU32(dib + 20, (uint32_t)pixel_bytes);
  PutU32(dib + 24, 2835); /* 72 dpi */
  PutU32(dib + 28, 2835);
  for (unsigned long y = 0; y < h; ++y) {
    unsigned char* row = dib + 40 + (h - 1 - y) * stride;
    if (!DispatchImage(image, 0, (long)y, w, 1, "BGR", CharPixel, row, exception)) {
      free(dib);
      return NULL;
    }
  }
  return dib;
}

unsigned char* NViewLibLoad(const char* path, int flags) {
  (void)flags;
  if (path == NULL) return NULL;
  pthread_once(&init_once, InitializeOnce);
  if (!init_ok) return NULL;

  size_t size = 0;
  unsigned char* bytes = ReadFileBytes(path, &size);
  if (bytes == NULL) return NULL;
  const char* coder = PickCoder(bytes, size, path);
  if (coder == NULL) {
    free(bytes);
    return NULL;
  }

  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  ImageInfo* info = CloneImageInfo(NULL);
  unsigned char* dib = NULL;
  if (info != NULL) {
    /* "CODER:" fixes the coder; the blob's own magic bytes are not consulted again. */
    snprintf(info->filename, sizeof info->filename, "%s:", coder);
    snprintf(info->magick, sizeof info->magick, "%s", coder);
    info->subimage = 0;
    info->subrange = 1;
    Image* image = BlobToImage(info, bytes, size, &exception);
    if (image != NULL) {
      if (exception.severity < ErrorException) dib = ToPackedDib(image, &exception);
      DestroyImageList(image);
    }
    DestroyImageInfo(info);
  }
  DestroyExceptionInfo(&exception);
  free(bytes);
  return dib;
}

int NViewLibVersion(void) { return NVIEWLIB_INTERFACE_VERSION; }
