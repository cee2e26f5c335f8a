/*
 * A fake external I/O plug-in for the bridge tests, written against
 * io/lkxplugin.h alone.
 *
 * It reads and writes a made-up picture format. The input starts with a
 * 24-byte header of little-endian int32 values:
 *   0  "LKXF"
 *   4  width           8  height           12 pixel format code (any value)
 *   16 options: 1 deliver no rows, 2 ask for EXIF, 4 report width 0
 *   20 offset of the rows from the start
 * followed by the rows in the exchange layout. Writing produces the same form
 * (options 0, rows at 24).
 *
 * Every read also reads the keyword "FILENAME" (or LKX_FAKE_ECHO_KEY) into a
 * buffer of exactly LKX_PARAM_BUFFER_SIZE bytes and stores it under
 * "TIFF_DOCUMENTNAME"; a
 * probe reads "FILENAME" into a buffer filled with 'X' and logs what it got.
 * Calls are logged as words ("init(0) callbacks read(0) fin ..."), which the
 * tests fetch through LKXFake_Log.
 *
 * Build definitions: LKX_FAKE_FORMATS (formats reported, default 2),
 * LKX_FAKE_EXTS0 (extensions of the first format), LKX_FAKE_NO_ADDPARAMETER
 * (leave out one export), LKX_FAKE_ECHO_KEY (the keyword a read echoes).
 */
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "io/lkxplugin.h"

#ifndef LKX_FAKE_FORMATS
#define LKX_FAKE_FORMATS 2
#endif
#ifndef LKX_FAKE_EXTS0
#define LKX_FAKE_EXTS0 "fkp;fake"
#endif
#ifndef LKX_FAKE_ECHO_KEY
#define LKX_FAKE_ECHO_KEY "FILENAME"
#endif

#define MAX_INSTANCES 64
#define HANDLE_BASE 1000
#define HEADER_SIZE 24

typedef struct {
  int used;
  int32_t format_index;
  LKX_ProgressCallBack progress;
  LKX_ReadCallBack read;
  LKX_WriteCallBack write;
  LKX_SetPosCallBack set_pos;
  LKX_GetPosCallBack get_pos;
  LKX_SizeCallBack size;
  LKX_GetParamCallBack get_param;
  LKX_SetParamCallBack set_param;
  void* context;
  /* read results */
  int32_t width, height, pixel_format, want_exif;
  uint8_t* rows;
  /* write inputs */
  int32_t in_width, in_height, in_pixel_format;
  const uint8_t* in_rows;
} Instance;

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static Instance instances[MAX_INSTANCES];
static char log_text[16384];

static const int32_t format_count = LKX_FAKE_FORMATS;

static void log_word(const char* fmt, ...) {
  char word[256];
  va_list args;
  va_start(args, fmt);
  vsnprintf(word, sizeof word, fmt, args);
  va_end(args);
  pthread_mutex_lock(&lock);
  size_t used = strlen(log_text);
  if (used && used + 1 < sizeof log_text) log_text[used++] = ' ';
  snprintf(log_text + used, sizeof log_text - used, "%s", word);
  pthread_mutex_unlock(&lock);
}

static Instance* find(LKX_Handle h) {
  int i = h - HANDLE_BASE;
  if (i < 0 || i >= MAX_INSTANCES || !instances[i].used) return NULL;
  return &instances[i];
}

static int32_t get_le32(const uint8_t* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

static void put_le32(uint8_t* p, int32_t v) {
  uint32_t u = (uint32_t)v;
  p[0] = (uint8_t)u;
  p[1] = (uint8_t)(u >> 8);
  p[2] = (uint8_t)(u >> 16);
  p[3] = (uint8_t)(u >> 24);
}

/* Reads the header at position 0; 1 when it is there and carries the magic. */
static int read_header(Instance* in, uint8_t* header) {
  in->set_pos(0, in->context);
  if (in->read(header, HEADER_SIZE, in->context) != HEADER_SIZE) return 0;
  return memcmp(header, "LKXF", 4) == 0;
}

/* Bytes of a row; unknown formats get one byte so that a row block exists. */
static int64_t row_bytes(int32_t pf, int32_t width) {
  int64_t n = LKX_RowLength(pf, width);
  return n > 0 ? n : 1;
}

LKX_Handle LKX_Initialize(int32_t FormatIndex) {
  pthread_mutex_lock(&lock);
  int i = 0;
  while (i < MAX_INSTANCES && instances[i].used) ++i;
  if (i < MAX_INSTANCES) {
    memset(&instances[i], 0, sizeof instances[i]);
    instances[i].used = 1;
    instances[i].format_index = FormatIndex;
  }
  pthread_mutex_unlock(&lock);
  log_word("init(%d)", FormatIndex);
  return i < MAX_INSTANCES ? HANDLE_BASE + i : -1;
}

void LKX_Finalize(LKX_Handle Handle) {
  Instance* in = find(Handle);
  if (!in) return;
  free(in->rows);
  pthread_mutex_lock(&lock);
  in->used = 0;
  pthread_mutex_unlock(&lock);
  log_word("fin");
}

void LKX_SetCallBacks(LKX_Handle Handle, LKX_ProgressCallBack Progress, LKX_ReadCallBack Read,
                      LKX_WriteCallBack Write, LKX_SetPosCallBack SetPos, LKX_GetPosCallBack GetPos,
                      LKX_SizeCallBack Size, LKX_GetParamCallBack GetParam, LKX_SetParamCallBack SetParam,
                      void* Context) {
  Instance* in = find(Handle);
  if (!in) return;
  in->progress = Progress;
  in->read = Read;
  in->write = Write;
  in->set_pos = SetPos;
  in->get_pos = GetPos;
  in->size = Size;
  in->get_param = GetParam;
  in->set_param = SetParam;
  in->context = Context;
  log_word("callbacks");
}

void* LKX_GetInfo(LKX_Handle Handle, int32_t Code) {
  static const int32_t flags[2] = {LKX_FLAG_READ | LKX_FLAG_WRITE,
                                   LKX_FLAG_READ | LKX_FLAG_WRITE | LKX_FLAG_THREADSAFE};
  Instance* in = find(Handle);
  if (!in) return NULL;
  const int32_t index = in->format_index;
  switch (Code) {
    case LKX_INFO_FLAGS:
      return (void*)&flags[index == 0 ? 0 : 1];
    case LKX_INFO_NAME:
      return (void*)(index == 0 ? "Fake picture" : "Fake picture, any thread");
    case LKX_INFO_EXTENSIONS:
      return (void*)(index == 0 ? LKX_FAKE_EXTS0 : "fkt");
    case LKX_INFO_FORMATCOUNT:
      return (void*)&format_count;
    case LKX_INFO_WANTEXIF: {
      /* Peeks at the header, leaving the position as it was. */
      uint8_t header[HEADER_SIZE];
      const int32_t pos = in->get_pos(in->context);
      in->want_exif = read_header(in, header) && (get_le32(header + 16) & 2) != 0;
      in->set_pos(pos, in->context);
      log_word("wantexif");
      return &in->want_exif;
    }
    case LKX_INFO_WIDTH:
      return &in->width;
    case LKX_INFO_HEIGHT:
      return &in->height;
    case LKX_INFO_PIXELFORMAT:
      return &in->pixel_format;
    case LKX_INFO_ROWS:
      return in->rows;
    default:
      return NULL;
  }
}

void LKX_SetInfo(LKX_Handle Handle, int32_t Code, void* Value) {
  Instance* in = find(Handle);
  if (!in || !Value) return;
  switch (Code) {
    case LKX_INFO_WIDTH:
      in->in_width = *(const int32_t*)Value;
      break;
    case LKX_INFO_HEIGHT:
      in->in_height = *(const int32_t*)Value;
      break;
    case LKX_INFO_PIXELFORMAT:
      in->in_pixel_format = *(const int32_t*)Value;
      break;
    case LKX_INFO_ROWS:
      in->in_rows = (const uint8_t*)Value;
      break;
    default:
      return;
  }
  log_word("set(%d)", Code);
}

int32_t LKX_ExecuteRead(LKX_Handle Handle, int32_t Mode) {
  Instance* in = find(Handle);
  if (!in) return 0;
  log_word("read(%d)", Mode);
  in->progress(10, in->context);

  /* The buffer the host must not write past. */
  char* value = (char*)malloc(LKX_PARAM_BUFFER_SIZE);
  if (value) {
    in->get_param(LKX_FAKE_ECHO_KEY, value, in->context);
    in->set_param("TIFF_DOCUMENTNAME", value, in->context);
    free(value);
  }

  uint8_t header[HEADER_SIZE];
  if (!read_header(in, header)) return 0;
  const int32_t width = get_le32(header + 4), height = get_le32(header + 8);
  const int32_t pf = get_le32(header + 12), options = get_le32(header + 16);
  const int32_t offset = get_le32(header + 20);
  in->width = (options & 4) ? 0 : width;
  in->height = height;
  in->pixel_format = pf;
  if (Mode == LKX_MODE_IMAGE && !(options & 1) && width > 0 && height > 0) {
    const int64_t total = row_bytes(pf, width) * height;
    if (offset >= HEADER_SIZE && total <= in->size(in->context) - (int64_t)offset) {
      in->rows = (uint8_t*)malloc((size_t)total);
      in->set_pos(offset, in->context);
      if (in->rows && in->read(in->rows, (int32_t)total, in->context) != total) {
        free(in->rows);
        in->rows = NULL;
      }
    }
  }
  in->progress(100, in->context);
  return 0;
}

int32_t LKX_ExecuteWrite(LKX_Handle Handle) {
  Instance* in = find(Handle);
  if (!in) return 0;
  log_word("write(%d,%d,%d)", in->in_width, in->in_height, in->in_pixel_format);
  in->progress(50, in->context);
  uint8_t header[HEADER_SIZE];
  memcpy(header, "LKXF", 4);
  put_le32(header + 4, in->in_width);
  put_le32(header + 8, in->in_height);
  put_le32(header + 12, in->in_pixel_format);
  put_le32(header + 16, 0);
  put_le32(header + 20, HEADER_SIZE);
  in->write(header, HEADER_SIZE, in->context);
  if (in->in_rows && in->in_width > 0 && in->in_height > 0)
    in->write(in->in_rows, (int32_t)(LKX_RowLength(in->in_pixel_format, in->in_width) * in->in_height),
              in->context);
  return 0;
}

int32_t LKX_ExecuteTry(LKX_Handle Handle) {
  Instance* in = find(Handle);
  if (!in) return 0;
  char value[LKX_PARAM_BUFFER_SIZE];
  memset(value, 'X', sizeof value - 1);
  value[sizeof value - 1] = 0;
  in->get_param("FILENAME", value, in->context);
  in->set_param("TIFF_DOCUMENTNAME", "probe", in->context);
  log_word("try[%.8s]", value);
  uint8_t header[HEADER_SIZE];
  return read_header(in, header);
}

#ifndef LKX_FAKE_NO_ADDPARAMETER
void LKX_AddParameter(void) { log_word("addparameter"); }
#endif

/* Test access to the call log. */
LKX_EXPORT const char* LKXFake_Log(void);
LKX_EXPORT void LKXFake_ClearLog(void);

const char* LKXFake_Log(void) { return log_text; }

void LKXFake_ClearLog(void) {
  pthread_mutex_lock(&lock);
  log_text[0] = 0;
  pthread_mutex_unlock(&lock);
}
