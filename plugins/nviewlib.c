/* libkivrel-decode: decodes the raster formats the browser does not read itself (.dib .gif
 * .jif .jpg .jpeg .tga .rle .pcx) with GraphicsMagick and hands back a 24-bit packed DIB.
 *
 * The coder is chosen from the file's first bytes and forced, so a file whose contents do not
 * match one of the few formats listed here never reaches any other GraphicsMagick coder or a
 * delegate program. TGA has no signature: a ".tga" file is forced to the TGA coder only when
 * its header passes a sanity check (nviewlib_detect.c).
 *
 * Memory is bounded in three steps against the budget of nviewlib.h: the size the header
 * declares is read from the head of the file, before the rest is read; GraphicsMagick's ping
 * reads the size its own way, before any pixel is decoded; and GraphicsMagick's resource
 * limits hold the decoding itself to the budget, so a header that lies cannot take more.
 */
#include "nviewlib.h"

#include <stdarg.h>

#include <magick/api.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "nviewlib_detect.h"

/* Bytes one pixel costs while it is decoded: GraphicsMagick's pixel and colour-index caches
 * (their size depends on its quantum depth) and the 24-bit row of the returned bitmap. */
#define BYTES_PER_PIXEL (sizeof(PixelPacket) + sizeof(IndexPacket) + 3)

/* The head of a file read before the rest: it holds every header the detection and the size
 * reading look at, the largest TGA colour map included (65535 entries of 4 bytes), so the coder
 * picked from the head is the one the whole file would give. */
#define HEAD_BYTES ((size_t)1 << 20)

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
  (void)SetMagickResourceLimit(MemoryResource, NVIEWLIB_MAX_BYTES);
  (void)SetMagickResourceLimit(MapResource, NVIEWLIB_MAX_BYTES);
  /* Never spill a pixel cache to disk. */
  (void)SetMagickResourceLimit(DiskResource, 0);
}

/* Where NViewLibDecode reports its outcome. */
typedef struct {
  int* status;
  char* reason;
  size_t reason_size;
} Outcome;

static unsigned char* Fail(const Outcome* out, int status, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

/* Records why the file was not decoded; returns NULL for the caller to return. */
static unsigned char* Fail(const Outcome* out, int status, const char* format, ...) {
  if (out->status != NULL) *out->status = status;
  if (out->reason != NULL && out->reason_size > 0) {
    va_list args;
    va_start(args, format);
    vsnprintf(out->reason, out->reason_size, format, args);
    va_end(args);
  }
  return NULL;
}

/* The file opened for reading when it is a regular, non-empty file within the budget; NULL
 * with the outcome set otherwise. */
static FILE* OpenPicture(const char* path, size_t* size, const Outcome* out) {
  FILE* f = fopen(path, "rb");
  if (f == NULL) {
    Fail(out, NVIEWLIB_ERROR_READ, "the file cannot be opened");
    return NULL;
  }
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(out, NVIEWLIB_ERROR_READ, "not a regular file");
  } else if (st.st_size <= 0) {
    Fail(out, NVIEWLIB_ERROR_READ, "the file is empty");
  } else if ((uint64_t)st.st_size > NVIEWLIB_MAX_BYTES) {
    Fail(out, NVIEWLIB_ERROR_TOO_LARGE,
         "a file of %llu bytes is over the decoding budget of %u MiB",
         (unsigned long long)st.st_size, NVIEWLIB_MAX_BYTES >> 20);
  } else {
    *size = (size_t)st.st_size;
    return f;
  }
  fclose(f);
  return NULL;
}

static void PutU16(unsigned char* p, unsigned v) {
  p[0] = (unsigned char)(v & 0xFF);
  p[1] = (unsigned char)((v >> 8) & 0xFF);
}

static void PutU32(unsigned char* p, uint32_t v) {
  PutU16(p, v & 0xFFFF);
  PutU16(p + 2, v >> 16);
}

/* The picture as a 24-bit bottom-up packed DIB, or NULL with the outcome set. */
static unsigned char* ToPackedDib(Image* image, ExceptionInfo* exception, const Outcome* out) {
  const unsigned long w = image->columns;
  const unsigned long h = image->rows;
  if (w == 0 || h == 0 || w > NVIEWLIB_MAX_SIDE || h > NVIEWLIB_MAX_SIDE ||
      (uint64_t)w * h > NVIEWLIB_MAX_PIXELS)
    return Fail(out, NVIEWLIB_ERROR_TOO_LARGE, "decoded as %lu x %lu pixels, over the budget", w,
                h);
  if (image->colorspace != RGBColorspace && !TransformColorspace(image, RGBColorspace))
    return Fail(out, NVIEWLIB_ERROR_DECODE, "colours cannot be converted to RGB");
  const size_t stride = ((size_t)w * 3 + 3) / 4 * 4;
  const size_t pixel_bytes = stride * h;
  unsigned char* dib = (unsigned char*)calloc(1, 40 + pixel_bytes);
  if (dib == NULL) return Fail(out, NVIEWLIB_ERROR_MEMORY, "not enough memory for the bitmap");
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
      return Fail(out, NVIEWLIB_ERROR_DECODE, "the pixels cannot be read back");
    }
  }
  return dib;
}

/* A failed GraphicsMagick call as an outcome: a refused resource is a memory failure (the
 * limits of InitializeOnce are the budget), anything else a decoding one. */
static unsigned char* FailFromException(const ExceptionInfo* exception, const Outcome* out,
                                        const char* coder) {
  const char* what = exception->reason != NULL ? exception->reason : "no reason given";
  if (exception->severity == ResourceLimitError || exception->severity == ResourceLimitFatalError)
    return Fail(out, NVIEWLIB_ERROR_MEMORY, "not enough memory to decode the %s picture (%s)",
                coder, what);
  return Fail(out, NVIEWLIB_ERROR_DECODE, "the %s picture cannot be decoded (%s)", coder, what);
}

/* Whether a picture of w x h pixels, decoded from a file of `size` bytes, goes over the budget;
 * if so the outcome says so. */
static int OverBudget(uint64_t w, uint64_t h, size_t size, const char* coder, const Outcome* out) {
  if (w <= NVIEWLIB_MAX_SIDE && h <= NVIEWLIB_MAX_SIDE) {
    const uint64_t pixels = w * h; /* sides checked first: no overflow */
    if (pixels <= NVIEWLIB_MAX_PIXELS && size + pixels * BYTES_PER_PIXEL <= NVIEWLIB_MAX_BYTES)
      return 0;
  }
  Fail(out, NVIEWLIB_ERROR_TOO_LARGE,
       "a %s picture of %llu x %llu pixels is over the decoding budget (%u pixels a side, "
       "%u pixels, %u MiB)",
       coder, (unsigned long long)w, (unsigned long long)h, NVIEWLIB_MAX_SIDE, NVIEWLIB_MAX_PIXELS,
       NVIEWLIB_MAX_BYTES >> 20);
  return 1;
}

/* Reads the picture's size as GraphicsMagick's ping reads it, without decoding pixels, and
 * refuses it when the decoding would go over the budget. Returns 1 when decoding may go
 * ahead. */
static int FitsTheBudget(const ImageInfo* info, const unsigned char* bytes, size_t size,
                         const char* coder, const Outcome* out) {
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  Image* ping = PingBlob(info, bytes, size, &exception);
  int ok = 0;
  if (ping == NULL || exception.severity >= ErrorException) {
    FailFromException(&exception, out, coder);
  } else if (ping->columns == 0 || ping->rows == 0) {
    Fail(out, NVIEWLIB_ERROR_DECODE, "the %s picture has no pixels", coder);
  } else {
    ok = !OverBudget(ping->columns, ping->rows, size, coder, out);
  }
  if (ping != NULL) DestroyImageList(ping);
  DestroyExceptionInfo(&exception);
  return ok;
}

/* Decodes the file's bytes with the forced coder. */
static unsigned char* DecodeBytes(const unsigned char* bytes, size_t size, const char* coder,
                                  const Outcome* out) {
  ImageInfo* info = CloneImageInfo(NULL);
  if (info == NULL) return Fail(out, NVIEWLIB_ERROR_MEMORY, "not enough memory");
  /* "CODER:" fixes the coder; the blob's own magic bytes are not consulted again. */
  snprintf(info->filename, sizeof info->filename, "%s:", coder);
  snprintf(info->magick, sizeof info->magick, "%s", coder);
  info->subimage = 0;
  info->subrange = 1;
  unsigned char* dib = NULL;
  if (FitsTheBudget(info, bytes, size, coder, out)) {
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    Image* image = BlobToImage(info, bytes, size, &exception);
    if (image == NULL || exception.severity >= ErrorException) {
      FailFromException(&exception, out, coder);
    } else {
      dib = ToPackedDib(image, &exception, out);
    }
    if (image != NULL) DestroyImageList(image);
    DestroyExceptionInfo(&exception);
  }
  DestroyImageInfo(info);
  return dib;
}

/* Reads the head of the file into `bytes` (room for `size`), picks the coder and checks the
 * size the header declares; only then reads the rest and decodes. A picture over the budget is
 * thus refused without reading more than the head of its file. */
static unsigned char* DecodeFile(FILE* f, unsigned char* bytes, size_t size, const char* path,
                                 const Outcome* out) {
  const size_t head = size < HEAD_BYTES ? size : HEAD_BYTES;
  if (fread(bytes, 1, head, f) != head)
    return Fail(out, NVIEWLIB_ERROR_READ, "the file cannot be read");
  const char* coder = NViewLibPickCoder(bytes, head, path);
  if (coder == NULL)
    return Fail(out, NVIEWLIB_ERROR_FORMAT, "not a BMP, GIF, JPEG, PCX, TGA or Utah RLE picture");
  unsigned long w = 0;
  unsigned long h = 0;
  if (NViewLibDeclaredSize(bytes, head, coder, &w, &h) && OverBudget(w, h, size, coder, out))
    return NULL;
  if (fread(bytes + head, 1, size - head, f) != size - head)
    return Fail(out, NVIEWLIB_ERROR_READ, "the file cannot be read");
  return DecodeBytes(bytes, size, coder, out);
}

unsigned char* NViewLibDecode(const char* path, int flags, int* status, char* reason,
                              size_t reason_size) {
  (void)flags;
  const Outcome out = {status, reason, reason_size};
  if (status != NULL) *status = NVIEWLIB_OK;
  if (reason != NULL && reason_size > 0) reason[0] = '\0';
  if (path == NULL) return Fail(&out, NVIEWLIB_ERROR_READ, "no file name");
  pthread_once(&init_once, InitializeOnce);
  if (!init_ok) return Fail(&out, NVIEWLIB_ERROR_DECODE, "the decoder could not start");

  size_t size = 0;
  FILE* f = OpenPicture(path, &size, &out);
  if (f == NULL) return NULL;
  unsigned char* dib = NULL;
  unsigned char* bytes = (unsigned char*)malloc(size);
  if (bytes == NULL) {
    Fail(&out, NVIEWLIB_ERROR_MEMORY, "not enough memory to read the file");
  } else {
    dib = DecodeFile(f, bytes, size, path, &out);
  }
  free(bytes);
  fclose(f);
  return dib;
}

unsigned char* NViewLibLoad(const char* path, int flags) {
  return NViewLibDecode(path, flags, NULL, NULL, 0);
}

int NViewLibVersion(void) {
  return NVIEWLIB_INTERFACE_VERSION;
}
