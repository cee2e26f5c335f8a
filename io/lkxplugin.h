/*
 * External I/O plug-in contract: what a plug-in library exports and what the
 * host hands it. Plain C, shared by the host and every plug-in; this contract
 * is frozen.
 *
 * A plug-in is a shared library adding one or more image formats. It exports
 * the nine functions declared below (a library lacking any of them is not
 * used); all use the platform's default C calling convention. Build the
 * plug-in with -fvisibility=hidden: the LKX_EXPORT on the declarations below
 * then exports exactly the nine entry points.
 *
 * Instances. Every read, probe and write opens its own instance with
 * LKX_Initialize and closes it with LKX_Finalize before the host returns; the
 * host keeps no instance between calls. The handle is a 32-bit value chosen by
 * the plug-in (for example an index into its own instance table); the host
 * never interprets it.
 *
 * Pointers the plug-in returns from LKX_GetInfo stay valid until LKX_Finalize
 * of that instance. A plug-in returns NULL for a code it does not know; the
 * host reads NULL as 0 or an empty text. Texts are zero-terminated UTF-8; the
 * host keeps at most 80 characters of a name or extension list.
 * Pointers the host passes to LKX_SetInfo stay valid until LKX_ExecuteWrite
 * returns.
 *
 * Reading: LKX_Initialize, LKX_SetCallBacks, then LKX_ExecuteRead with mode
 * LKX_MODE_IMAGE (decode the picture) or LKX_MODE_PARAMS (fill the parameters
 * only, no rows needed), then LKX_GetInfo of width, height, pixel format and
 * rows. A plug-in signals failure by delivering no rows or a zero size.
 * Probing: LKX_ExecuteTry returns non-zero when the input is of the
 * instance's format; during a probe the parameter callbacks do nothing.
 * Writing: LKX_SetInfo of width, height, pixel format and rows, then
 * LKX_ExecuteWrite.
 *
 * Row layout (codes LKX_INFO_ROWS both ways): the rows are consecutive, top
 * row first, each exactly LKX_RowLength(format, width) bytes, byte-packed with
 * no other padding; the block holds height rows. 24-bit pixels
 * (LKX_PF_24RGB) are red, green, blue bytes; 48-bit pixels (LKX_PF_48RGB) are
 * red, green, blue 16-bit samples, most significant byte first. Every other
 * format is exchanged as the library stores it: 1-bit with the leftmost pixel
 * in the most significant bit and 1 = white; 16-bit grey little-endian; 32-bit
 * float grey in the machine's order; CMYK as C, M, Y, K bytes. The host
 * accepts formats 1 to 9 except LKX_PF_8P (there is no way to hand over a
 * palette); a read delivering anything else fails.
 *
 * Stream callbacks: the plug-in sees its input or output as the bytes from
 * position 0 to the size. Position 0 is where the host's stream stood when the
 * host called the plug-in, so a picture embedded inside a larger stream reads
 * the same as a file of its own. Setting a negative position sets 0. The read
 * and write callbacks return the number of bytes moved (0 on any failure or for
 * a negative count).
 *
 * Parameter callbacks: the host's parameter record is read and written by
 * keyword (the record's own keyword names, such as "WIDTH"). The get-parameter
 * callback writes at most LKX_PARAM_BUFFER_SIZE bytes into Dest: the value,
 * truncated to LKX_PARAM_BUFFER_SIZE - 1 bytes, and a terminating zero. Dest
 * must hold LKX_PARAM_BUFFER_SIZE bytes. When there is no record (a probe),
 * Dest receives an empty text; the setter then does nothing.
 */
#ifndef LUMERAK_IO_LKXPLUGIN_H
#define LUMERAK_IO_LKXPLUGIN_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define LKX_EXPORT __attribute__((visibility("default")))
#else
#define LKX_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Instance handle, chosen by the plug-in. */
typedef int32_t LKX_Handle;

/* Names of the nine exports, as the host looks them up. */
#define LKX_NAME_EXECUTEREAD "LKX_ExecuteRead"
#define LKX_NAME_EXECUTEWRITE "LKX_ExecuteWrite"
#define LKX_NAME_EXECUTETRY "LKX_ExecuteTry"
#define LKX_NAME_ADDPARAMETER "LKX_AddParameter"
#define LKX_NAME_SETCALLBACKS "LKX_SetCallBacks"
#define LKX_NAME_INITIALIZE "LKX_Initialize"
#define LKX_NAME_FINALIZE "LKX_Finalize"
#define LKX_NAME_GETINFO "LKX_GetInfo"
#define LKX_NAME_SETINFO "LKX_SetInfo"

/* Info codes of LKX_GetInfo and LKX_SetInfo. */
enum {
  LKX_INFO_WIDTH = 0,          /* both: pointer to int32 width in pixels */
  LKX_INFO_HEIGHT = 1,         /* both: pointer to int32 height in pixels */
  LKX_INFO_PIXELFORMAT = 2,    /* both: pointer to int32 pixel format code */
  LKX_INFO_ROWS = 4,           /* both: the rows themselves (not a pointer to a pointer) */
  LKX_INFO_FLAGS = 257,        /* get: pointer to int32 flags (LKX_FLAG_*) */
  LKX_INFO_NAME = 258,         /* get: zero-terminated display name of the format */
  LKX_INFO_EXTENSIONS = 259,   /* get: zero-terminated extensions, ";"-separated, without dots */
  LKX_INFO_WANTEXIF = 260,     /* get: pointer to int32, non-zero: the host reads the input's
                                  EXIF metadata into its parameters before LKX_ExecuteRead */
  LKX_INFO_FORMATCOUNT = 261   /* get: pointer to int32 number of formats in the library
                                  (the host treats fewer than 1 as 1) */
};

/* Flags (code LKX_INFO_FLAGS). */
enum {
  LKX_FLAG_READ = 1,        /* the format can be read and probed */
  LKX_FLAG_WRITE = 16,      /* the format can be written */
  LKX_FLAG_THREADSAFE = 256 /* instances may run on several threads at once (the host takes
                               no lock); otherwise the host serialises each format */
};

/* Modes of LKX_ExecuteRead. */
enum {
  LKX_MODE_IMAGE = 0,  /* decode the picture */
  LKX_MODE_PARAMS = -1 /* fill the parameters only */
};

/* Pixel format codes. */
enum {
  LKX_PF_NULL = 0,   /* no pixels */
  LKX_PF_1G = 1,     /* 1-bit black and white */
  LKX_PF_8P = 2,     /* 8-bit palette (not exchangeable) */
  LKX_PF_8G = 3,     /* 8-bit grey */
  LKX_PF_16G = 4,    /* 16-bit grey */
  LKX_PF_24RGB = 5,  /* 24-bit colour */
  LKX_PF_32F = 6,    /* 32-bit float grey */
  LKX_PF_CMYK = 7,   /* 32-bit CMYK */
  LKX_PF_48RGB = 8,  /* 48-bit colour */
  LKX_PF_CIELAB = 9  /* 24-bit CIELab */
};

/* Size in bytes of the buffer the get-parameter callback writes into. */
#define LKX_PARAM_BUFFER_SIZE 4096

/* Bytes of one row of Width pixels of pixel format PixelFormat; 0 for an
   unknown format or a width below 1. */
static inline int64_t LKX_RowLength(int32_t PixelFormat, int32_t Width) {
  static const int32_t bits[10] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 24};
  if (PixelFormat < 0 || PixelFormat > 9 || Width < 1) return 0;
  return ((int64_t)bits[PixelFormat] * Width + 7) / 8;
}

/* Host callbacks, in the order LKX_SetCallBacks receives them. Each gets the
   Context given to LKX_SetCallBacks as its last argument. */
/* 1: reports progress in percent. */
typedef void (*LKX_ProgressCallBack)(int32_t Percent, void* Context);
/* 2: reads up to Count bytes into Buffer; returns the number read. */
typedef int32_t (*LKX_ReadCallBack)(void* Buffer, int32_t Count, void* Context);
/* 3: writes Count bytes from Buffer; returns the number written. */
typedef int32_t (*LKX_WriteCallBack)(const void* Buffer, int32_t Count, void* Context);
/* 4: sets the position (relative to the position at entry). */
typedef void (*LKX_SetPosCallBack)(int32_t Position, void* Context);
/* 5: the position (relative to the position at entry). */
typedef int32_t (*LKX_GetPosCallBack)(void* Context);
/* 6: the size (the bytes from the position at entry to the end). */
typedef int32_t (*LKX_SizeCallBack)(void* Context);
/* 7: copies the value of the parameter keyword Name into Dest, which holds
   LKX_PARAM_BUFFER_SIZE bytes (truncated and zero-terminated). */
typedef void (*LKX_GetParamCallBack)(const char* Name, char* Dest, void* Context);
/* 8: sets the parameter keyword Name to the text Value. */
typedef void (*LKX_SetParamCallBack)(const char* Name, const char* Value, void* Context);

/* Function types of the nine exports. */
typedef int32_t (*LKX_ExecuteReadProc)(LKX_Handle Handle, int32_t Mode);
typedef int32_t (*LKX_ExecuteWriteProc)(LKX_Handle Handle);
typedef int32_t (*LKX_ExecuteTryProc)(LKX_Handle Handle);
typedef void (*LKX_AddParameterProc)(void);
typedef void (*LKX_SetCallBacksProc)(LKX_Handle Handle, LKX_ProgressCallBack Progress,
                                     LKX_ReadCallBack Read, LKX_WriteCallBack Write,
                                     LKX_SetPosCallBack SetPos, LKX_GetPosCallBack GetPos,
                                     LKX_SizeCallBack Size, LKX_GetParamCallBack GetParam,
                                     LKX_SetParamCallBack SetParam, void* Context);
typedef LKX_Handle (*LKX_InitializeProc)(int32_t FormatIndex);
typedef void (*LKX_FinalizeProc)(LKX_Handle Handle);
typedef void* (*LKX_GetInfoProc)(LKX_Handle Handle, int32_t Code);
typedef void (*LKX_SetInfoProc)(LKX_Handle Handle, int32_t Code, void* Value);

/* The nine exports, for the plug-in to define. The host never links against
   them; it looks them up by name. */
/* Decodes: Mode LKX_MODE_IMAGE the picture, LKX_MODE_PARAMS the parameters
   only. The result is ignored. */
LKX_EXPORT int32_t LKX_ExecuteRead(LKX_Handle Handle, int32_t Mode);
/* Encodes the picture given by LKX_SetInfo. The result is ignored. */
LKX_EXPORT int32_t LKX_ExecuteWrite(LKX_Handle Handle);
/* Non-zero when the input is of this instance's format. */
LKX_EXPORT int32_t LKX_ExecuteTry(LKX_Handle Handle);
/* Must be exported; the host never calls it. */
LKX_EXPORT void LKX_AddParameter(void);
/* Installs the host callbacks and their Context for this instance. */
LKX_EXPORT void LKX_SetCallBacks(LKX_Handle Handle, LKX_ProgressCallBack Progress,
                                 LKX_ReadCallBack Read, LKX_WriteCallBack Write,
                                 LKX_SetPosCallBack SetPos, LKX_GetPosCallBack GetPos,
                                 LKX_SizeCallBack Size, LKX_GetParamCallBack GetParam,
                                 LKX_SetParamCallBack SetParam, void* Context);
/* Opens an instance for format FormatIndex of the library (0 = first). */
LKX_EXPORT LKX_Handle LKX_Initialize(int32_t FormatIndex);
/* Closes an instance. */
LKX_EXPORT void LKX_Finalize(LKX_Handle Handle);
/* Pointer to the value of Code (LKX_INFO_*), NULL when there is none. */
LKX_EXPORT void* LKX_GetInfo(LKX_Handle Handle, int32_t Code);
/* Hands the plug-in a value (LKX_INFO_WIDTH, _HEIGHT, _PIXELFORMAT, _ROWS). */
LKX_EXPORT void LKX_SetInfo(LKX_Handle Handle, int32_t Code, void* Value);

#ifdef __cplusplus
}
#endif

#endif
