// Error, source and destination managers of the JPEG codec.
#include "codecs/jpeg/jpeg_pvt.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <jerror.h>
}

namespace {

// The library's message code for "Application transferred too few
// scanlines"; finishing early with it is allowed.
constexpr int kTooLittleData = JERR_TOO_LITTLE_DATA;

TLKJpegErrorMgr* ErrOf(j_common_ptr Info) { return reinterpret_cast<TLKJpegErrorMgr*>(Info->err); }

void LKErrorExit(j_common_ptr Info) {
  TLKJpegErrorMgr* err = ErrOf(Info);
  if (err->AbortFlag) err->AbortFlag->store(true);
  if (err->pub.msg_code == kTooLittleData) return;
  // No object with a destructor may live in this frame: the jump skips it.
  LKJpegFormatText(err->pub.msg_code, err->Message, sizeof(err->Message));
  // Every library call runs under a guard; without one there is no safe
  // way back, since returning would let the library run on broken state.
  if (!err->Jump) std::abort();
  std::longjmp(*err->Jump, 1);
}

void LKEmitMessage(j_common_ptr Info, int Level) {
  TLKJpegErrorMgr* err = ErrOf(Info);
  if (Level == -1) {
    ++err->WarningCount;
    err->LastCode = err->pub.msg_code;
    if (err->pub.msg_code == JWRN_HIT_MARKER) err->DataEnded = true;
  }
}

void LKOutputMessage(j_common_ptr) {}

void LKFormatMessage(j_common_ptr, char* Buffer) {
  if (Buffer) Buffer[0] = 0;
}

void LKResetErrorMgr(j_common_ptr Info) {
  TLKJpegErrorMgr* err = ErrOf(Info);
  err->WarningCount = 0;
  err->LastCode = 0;
  err->DataEnded = false;
  err->pub.msg_code = 0;
}

// ---- source manager

void SrcInit(j_decompress_ptr Info) {
  reinterpret_cast<TLKJpegSource*>(Info->src)->StartOfFile = true;
}

boolean SrcFill(j_decompress_ptr Info) {
  auto* src = reinterpret_cast<TLKJpegSource*>(Info->src);
  Integer got = 0;
  try {
    got = src->Stream ? src->Stream->Read(src->Buffer, static_cast<Integer>(LKJpegBufferSize)) : 0;
  } catch (...) {
    got = 0;
  }
  if (got <= 0) {
    if (src->StartOfFile && src->AbortFlag) src->AbortFlag->store(true);
    src->PrematureEnd = true;
    // An end-of-image marker: the library finishes what it has.
    src->Buffer[0] = 0xFF;
    src->Buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->Buffer;
  src->pub.bytes_in_buffer = static_cast<std::size_t>(got);
  src->StartOfFile = false;
  return TRUE;
}

void SrcSkip(j_decompress_ptr Info, long Count) {
  if (Count <= 0) return;
  jpeg_source_mgr* pub = Info->src;
  std::size_t n = static_cast<std::size_t>(Count);
  while (n > pub->bytes_in_buffer) {
    n -= pub->bytes_in_buffer;
    (*pub->fill_input_buffer)(Info);
  }
  pub->next_input_byte += n;
  pub->bytes_in_buffer -= n;
}

void SrcTerm(j_decompress_ptr) {}

boolean SrcUserFill(j_decompress_ptr Info) {
  auto* src = reinterpret_cast<TLKJpegSource*>(Info->src);
  return src->UserFill(Info) ? TRUE : FALSE;
}

// ---- destination manager

struct TLKJpegDest {
  jpeg_destination_mgr pub;
  TStream* Stream;
  std::atomic<bool>* AbortFlag;
  JOCTET* Buffer;
};

// Writes Count bytes; a short write or a raising stream sets the abort flag.
void DestWrite(TLKJpegDest* dst, std::size_t Count) {
  if (Count == 0) return;
  Integer put = 0;
  try {
    put = dst->Stream->Write(dst->Buffer, static_cast<Integer>(Count));
  } catch (...) {
    put = 0;
  }
  if (put < static_cast<Integer>(Count) && dst->AbortFlag) dst->AbortFlag->store(true);
}

void DestInit(j_compress_ptr Info) {
  auto* dst = reinterpret_cast<TLKJpegDest*>(Info->dest);
  dst->Buffer = static_cast<JOCTET*>(
      (*Info->mem->alloc_large)(reinterpret_cast<j_common_ptr>(Info), JPOOL_IMAGE, LKJpegBufferSize));
  dst->pub.next_output_byte = dst->Buffer;
  dst->pub.free_in_buffer = LKJpegBufferSize;
}

boolean DestEmpty(j_compress_ptr Info) {
  auto* dst = reinterpret_cast<TLKJpegDest*>(Info->dest);
  DestWrite(dst, LKJpegBufferSize);
  dst->pub.next_output_byte = dst->Buffer;
  dst->pub.free_in_buffer = LKJpegBufferSize;
  return TRUE;
}

void DestTerm(j_compress_ptr Info) {
  auto* dst = reinterpret_cast<TLKJpegDest*>(Info->dest);
  DestWrite(dst, LKJpegBufferSize - dst->pub.free_in_buffer);
}

}  // namespace

jpeg_error_mgr* LKJpegInitErrorMgr(TLKJpegErrorMgr& Mgr, std::atomic<bool>* AbortFlag) {
  jpeg_std_error(&Mgr.pub);
  Mgr.pub.error_exit = LKErrorExit;
  Mgr.pub.emit_message = LKEmitMessage;
  Mgr.pub.output_message = LKOutputMessage;
  Mgr.pub.format_message = LKFormatMessage;
  Mgr.pub.reset_error_mgr = LKResetErrorMgr;
  Mgr.WarningCount = 0;
  Mgr.LastCode = 0;
  Mgr.DataEnded = false;
  Mgr.AbortFlag = AbortFlag;
  Mgr.Jump = nullptr;
  Mgr.Message[0] = 0;
  return &Mgr.pub;
}

void LKJpegFormatText(Integer Code, char* Buffer, std::size_t Size) {
  if (Size == 0) return;
  std::size_t n = 0;
  auto put = [&](char ch) {
    if (n + 1 < Size) Buffer[n++] = ch;
  };
  auto putText = [&](const char* t) {
    while (*t) put(*t++);
  };
  Buffer[0] = 0;
  if (Code < 0 || Code > 123) {
    putText("Corrupted");
  } else if (Code != 73 && Code != 74) {
    jpeg_error_mgr std;
    jpeg_std_error(&std);
    const char* s = Code <= std.last_jpeg_message ? std.jpeg_message_table[Code] : nullptr;
    if (!s) {
      putText("Corrupted");
    } else {
      for (std::size_t i = 0; s[i];) {
        if (s[i] == '0' && s[i + 1] == 'x' && s[i + 2] == '%') {
          i += 2;  // "0x" printed before a parameter belongs to it
          continue;
        }
        if (s[i] != '%') {
          put(s[i++]);
          continue;
        }
        if (s[i + 1] == '%') {
          put('%');
          i += 2;
          continue;
        }
        ++i;
        // flags, width, precision, length, then the conversion letter
        while (s[i] && std::strchr("-+ #0123456789.lhzjt", s[i])) ++i;
        if (s[i]) ++i;
        // Parameters printed side by side ("0x%02x 0x%02x") show as one.
        if (n >= 2 && Buffer[n - 1] == ' ' && Buffer[n - 2] == '?') {
          --n;
          continue;
        }
        put('?');
      }
    }
  }
  Buffer[n] = 0;
}

String LKJpegMessageText(Integer Code) {
  char buf[JMSG_LENGTH_MAX];
  LKJpegFormatText(Code, buf, sizeof(buf));
  return buf;
}

void LKJpegAttachSource(j_decompress_ptr Info, TStream* Stream, std::atomic<bool>* AbortFlag) {
  auto* src = reinterpret_cast<TLKJpegSource*>(Info->src);
  const bool ours = src && src->pub.init_source == SrcInit;
  if (!ours) {
    auto* common = reinterpret_cast<j_common_ptr>(Info);
    src = static_cast<TLKJpegSource*>((*Info->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(TLKJpegSource)));
    src->Buffer = static_cast<JOCTET*>((*Info->mem->alloc_large)(common, JPOOL_PERMANENT, LKJpegBufferSize));
    src->pub.init_source = SrcInit;
    src->pub.fill_input_buffer = SrcFill;
    src->pub.skip_input_data = SrcSkip;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = SrcTerm;
    src->UserFill = nullptr;
    Info->src = &src->pub;
  }
  src->Stream = Stream;
  src->AbortFlag = AbortFlag;
  src->StartOfFile = true;
  src->PrematureEnd = false;
  src->pub.next_input_byte = nullptr;
  src->pub.bytes_in_buffer = 0;
}

void LKJpegSetUserFill(j_decompress_ptr Info, TLKJpegFillInputFunc Func) {
  auto* src = reinterpret_cast<TLKJpegSource*>(Info->src);
  if (!src || src->pub.init_source != SrcInit) return;
  src->UserFill = Func;
  src->pub.fill_input_buffer = Func ? SrcUserFill : SrcFill;
}

void LKJpegAttachDest(j_compress_ptr Info, TStream* Stream, std::atomic<bool>* AbortFlag) {
  auto* common = reinterpret_cast<j_common_ptr>(Info);
  auto* dst = static_cast<TLKJpegDest*>((*Info->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(TLKJpegDest)));
  dst->pub.init_destination = DestInit;
  dst->pub.empty_output_buffer = DestEmpty;
  dst->pub.term_destination = DestTerm;
  dst->pub.next_output_byte = nullptr;
  dst->pub.free_in_buffer = 0;
  dst->Stream = Stream;
  dst->AbortFlag = AbortFlag;
  dst->Buffer = nullptr;
  Info->dest = &dst->pub;
}
