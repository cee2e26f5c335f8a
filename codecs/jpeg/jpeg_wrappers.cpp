// JPEG length scan and the decompression wrappers for callers that drive
// the library themselves.
#include "codecs/jpeg/jpeg_pvt.h"
#include "core/lkstreams.h"

namespace {

j_decompress_ptr Dec(void* Decomp) { return static_cast<j_decompress_ptr>(Decomp); }

// The error manager attached by LKJPEG_CreateErrMgr.
TLKJpegErrorMgr* ErrOf(void* Decomp) {
  j_decompress_ptr d = Dec(Decomp);
  if (!d || !d->err) throw ELKJpegException("No error manager attached");
  return reinterpret_cast<TLKJpegErrorMgr*>(d->err);
}

}  // namespace

Int64 LKGetJpegLength(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  Int64 end = start;
  {
    TLKBufferedReadStream in(Stream, 8192);
    Byte b = 0;
    for (;;) {
      if (in.Read(&b, 1) != 1) break;
      if (b != 0xFF) continue;
      if (in.Read(&b, 1) != 1) break;
      if (b == 0xD9) break;
      if ((b >= 0xC0 && b <= 0xCF) || (b >= 0xDA && b <= 0xFE)) {
        Byte len[2];
        if (in.Read(len, 2) != 2) break;
        const Integer length = (len[0] << 8) | len[1];
        // The length counts its own two bytes; a smaller one skips nothing.
        if (length > 2) in.Seek(length - 2, soCurrent);
        if (in.GetPosition() > in.GetSize()) in.Seek(in.GetSize(), soBeginning);
      } else if (b == 0xFF) {
        // A fill byte: the next byte may be the code.
        in.Seek(-1, soCurrent);
      }
    }
    end = in.GetPosition();
  }
  Stream->SetPosition(start);
  return end - start;
}

void* LKJPEG_CreateDecompStruct() { return new jpeg_decompress_struct{}; }

void LKJPEG_FreeDecompStruct(void* Decomp) { delete Dec(Decomp); }

void* LKJPEG_CreateErrMgr(void* Decomp) {
  auto* mgr = new TLKJpegErrorMgr;
  Dec(Decomp)->err = LKJpegInitErrorMgr(*mgr, nullptr);
  return mgr;
}

void LKJPEG_FreeErrMgr(void* ErrMgr) { delete static_cast<TLKJpegErrorMgr*>(ErrMgr); }

void LKJPEG_CreateDecompress(void* Decomp) {
  LKJpegCall(ErrOf(Decomp), [&] { jpeg_CreateDecompress(Dec(Decomp), 62, sizeof(jpeg_decompress_struct)); });
}

void LKJPEG_DestroyDecompress(void* Decomp) { jpeg_destroy_decompress(Dec(Decomp)); }

void LKJPEG_SetReadStream(void* Decomp, TStream* Stream) {
  LKJpegCall(ErrOf(Decomp), [&] { LKJpegAttachSource(Dec(Decomp), Stream, nullptr); });
}

void LKJPEG_SetFillInputBuffer(void* Decomp, TLKJpegFillInputFunc Func) { LKJpegSetUserFill(Dec(Decomp), Func); }

void LKJPEG_SetNextInput(void* Decomp, const Byte* Data, std::size_t Count) {
  j_decompress_ptr d = Dec(Decomp);
  if (!d->src) return;
  d->src->next_input_byte = Data;
  d->src->bytes_in_buffer = Count;
}

Integer LKJPEG_ReadHeader(void* Decomp, bool RequireImage) {
  int r = 0;
  LKJpegCall(ErrOf(Decomp), [&] { r = jpeg_read_header(Dec(Decomp), RequireImage ? TRUE : FALSE); });
  return r;
}

void LKJPEG_StartDecompress(void* Decomp) {
  LKJpegCall(ErrOf(Decomp), [&] { jpeg_start_decompress(Dec(Decomp)); });
}

Integer LKJPEG_GetOutputWidth(void* Decomp) { return static_cast<Integer>(Dec(Decomp)->output_width); }
Integer LKJPEG_GetOutputHeight(void* Decomp) { return static_cast<Integer>(Dec(Decomp)->output_height); }
Integer LKJPEG_GetOutputComponents(void* Decomp) { return Dec(Decomp)->output_components; }
Integer LKJPEG_GetOutputScanline(void* Decomp) { return static_cast<Integer>(Dec(Decomp)->output_scanline); }

Byte** LKJPEG_AllocSArray(void* Decomp, Integer Pool, Cardinal SamplesPerRow, Cardinal Rows) {
  JSAMPARRAY rows = nullptr;
  j_decompress_ptr d = Dec(Decomp);
  LKJpegCall(ErrOf(Decomp), [&] {
    rows = (*d->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(d), Pool, SamplesPerRow, Rows);
  });
  return rows;
}

Cardinal LKJPEG_ReadScanlines(void* Decomp, Byte** Rows, Cardinal Count) {
  JDIMENSION got = 0;
  LKJpegCall(ErrOf(Decomp), [&] { got = jpeg_read_scanlines(Dec(Decomp), Rows, Count); });
  return got;
}

void LKJPEG_FinishDecompress(void* Decomp) {
  LKJpegCall(ErrOf(Decomp), [&] { jpeg_finish_decompress(Dec(Decomp)); });
}
