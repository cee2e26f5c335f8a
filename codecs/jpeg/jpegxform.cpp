// Lossless JPEG transforms: the coefficient blocks of the source are read
// whole, moved (and, for mirrors, given the signs of the mirrored basis
// functions) into the destination's arrays and written out again, so no
// sample is ever requantised.
#include "codecs/jpeg/jpegxform.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/jpeg/jpeg_pvt.h"

extern "C" {
#include <jerror.h>
}

namespace {

// The library's records live on the heap: the guard's long jump must not
// skip destructors, and the records are plain C structures anyway.
struct TXformContext {
  jpeg_decompress_struct Src{};
  jpeg_compress_struct Dst{};
  TLKJpegErrorMgr Err;
  bool SrcCreated = false;
  bool DstCreated = false;
  ~TXformContext() {
    if (DstCreated) jpeg_destroy_compress(&Dst);
    if (SrcCreated) jpeg_destroy_decompress(&Src);
  }
};

// Everything the guarded code needs, as plain data (no destructors may live
// in frames the error exit jumps over).
struct TXformJob {
  Integer Code = jtNone;
  bool Grayscale = false;
  TLKJpegCopyMarkers CopyMarkers = jcCopyNone;
  Int64 CropX = 0, CropY = 0, CropW = 0, CropH = 0;
  Int64 InputBytes = 0;  // bytes from the picture's start to the end of the input
  bool BadRequest = false;  // set when the options cannot apply to this picture
};

inline JDIMENSION DivUp(JDIMENSION a, JDIMENSION b) { return (a + b - 1) / b; }

bool IsTransposing(Integer Code) {
  return Code == jtTranspose || Code == jtTransverse || Code == jtRotate90 || Code == jtRotate270;
}

// Drops the partial MCU at the end of a dimension when a whole one exists.
JDIMENSION Trim(JDIMENSION Size, JDIMENSION Mcu) { return Size >= Mcu ? Size / Mcu * Mcu : Size; }

// The per-coefficient recipe of a block move: where each destination
// coefficient comes from and whether its sign flips.
struct TBlockMap {
  int Index[DCTSIZE2];
  int Sign[DCTSIZE2];
};

// Coefficients are in natural order (row = vertical frequency v, column =
// horizontal frequency u). A horizontal mirror negates odd u, a vertical
// one odd v, both measured in the destination block.
void MakeBlockMap(TBlockMap& Map, bool Transposed, bool MirrorH, bool MirrorV) {
  for (int v = 0; v < DCTSIZE; ++v)
    for (int u = 0; u < DCTSIZE; ++u) {
      const int k = v * DCTSIZE + u;
      Map.Index[k] = Transposed ? u * DCTSIZE + v : k;
      const bool neg = (MirrorH && (u & 1)) != (MirrorV && (v & 1));
      Map.Sign[k] = neg ? -1 : 1;
    }
}

inline void MoveBlock(const JCOEF* Src, JCOEF* Dst, const TBlockMap& Map) {
  for (int k = 0; k < DCTSIZE2; ++k) Dst[k] = static_cast<JCOEF>(Src[Map.Index[k]] * Map.Sign[k]);
}

// Row pointers of a whole coefficient array. The arrays of a transform are
// memory resident (there is no backing store), so the rows stay put.
JBLOCKROW* RowTable(j_common_ptr Info, jvirt_barray_ptr Array, JDIMENSION Rows, bool Writable) {
  auto* table = static_cast<JBLOCKROW*>((*Info->mem->alloc_small)(Info, JPOOL_IMAGE, sizeof(JBLOCKROW) * Rows));
  for (JDIMENSION r = 0; r < Rows; ++r)
    table[r] = (*Info->mem->access_virt_barray)(Info, Array, r, 1, Writable ? TRUE : FALSE)[0];
  return table;
}

bool IsMarker(const jpeg_saved_marker_ptr M, int Code, const char* Tag, unsigned TagLength) {
  return M->marker == Code && M->data_length >= 5 && std::memcmp(M->data, Tag, TagLength) == 0;
}

// The whole transform, run under the guard.
void RunTransform(TXformContext& Ctx, TXformJob& Job) {
  jpeg_decompress_struct& src = Ctx.Src;
  jpeg_compress_struct& dst = Ctx.Dst;
  auto* srcCommon = reinterpret_cast<j_common_ptr>(&src);

  if (Job.CopyMarkers != jcCopyNone) jpeg_save_markers(&src, JPEG_COM, 0xFFFF);
  if (Job.CopyMarkers == jcCopyAll)
    for (int i = 0; i < 16; ++i) jpeg_save_markers(&src, JPEG_APP0 + i, 0xFFFF);
  jpeg_read_header(&src, TRUE);

  const int code = Job.Code;
  const bool transposed = IsTransposing(code);
  const JDIMENSION srcW = src.image_width, srcH = src.image_height;

  // Grey output keeps the luminance, which must be the full-resolution
  // first component (a subsampled one would not cover the picture).
  int comps = src.num_components;
  if (Job.Grayscale) {
    const bool ycc = src.jpeg_color_space == JCS_YCbCr && src.num_components == 3;
    const bool grey = src.jpeg_color_space == JCS_GRAYSCALE && src.num_components == 1;
    if (!(ycc || grey) || src.comp_info[0].h_samp_factor != src.max_h_samp_factor ||
        src.comp_info[0].v_samp_factor != src.max_v_samp_factor)
      ERREXIT(&src, JERR_CONVERSION_NOTIMPL);
    comps = 1;
  }

  // Destination sampling and MCU size.
  int hs[MAX_COMPONENTS], vs[MAX_COMPONENTS];
  int maxH = 1, maxV = 1;
  for (int c = 0; c < comps; ++c) {
    if (Job.Grayscale) {
      hs[c] = vs[c] = 1;
    } else {
      const jpeg_component_info& ci = src.comp_info[c];
      hs[c] = transposed ? ci.v_samp_factor : ci.h_samp_factor;
      vs[c] = transposed ? ci.h_samp_factor : ci.v_samp_factor;
    }
    if (hs[c] > maxH) maxH = hs[c];
    if (vs[c] > maxV) maxV = vs[c];
  }
  const JDIMENSION mw = static_cast<JDIMENSION>(maxH * DCTSIZE), mh = static_cast<JDIMENSION>(maxV * DCTSIZE);

  // Destination size, and the block origin of a crop (in MCUs).
  JDIMENSION dstW = transposed ? srcH : srcW, dstH = transposed ? srcW : srcH;
  JDIMENSION orgX = 0, orgY = 0;
  switch (code) {
    case jtNone: case jtTranspose: break;
    case jtCut: {
      if (Job.CropX < 0 || Job.CropY < 0 || Job.CropX >= srcW || Job.CropY >= srcH || Job.CropW <= 0 ||
          Job.CropH <= 0) {
        Job.BadRequest = true;
        return;
      }
      const Int64 w = std::min<Int64>(Job.CropW, srcW - Job.CropX);
      const Int64 h = std::min<Int64>(Job.CropH, srcH - Job.CropY);
      orgX = static_cast<JDIMENSION>(Job.CropX / mw);
      orgY = static_cast<JDIMENSION>(Job.CropY / mh);
      const Int64 cols = std::min<Int64>(srcW / mw, (Job.CropX % mw + w + mw - 1) / mw);
      const Int64 rows = std::min<Int64>(srcH / mh, (Job.CropY % mh + h + mh - 1) / mh);
      // Never past the picture: the blocks beyond its edge are only padding.
      dstW = cols == 0 ? srcW : static_cast<JDIMENSION>(std::min<Int64>(cols * mw, srcW - Int64{orgX} * mw));
      dstH = rows == 0 ? srcH : static_cast<JDIMENSION>(std::min<Int64>(rows * mh, srcH - Int64{orgY} * mh));
      break;
    }
    case jtHorizFlip: dstW = Trim(dstW, mw); break;
    case jtVertFlip: dstH = Trim(dstH, mh); break;
    case jtTransverse: dstW = Trim(dstW, mw); dstH = Trim(dstH, mh); break;
    case jtRotate90: dstW = Trim(dstW, mw); break;
    case jtRotate180: dstW = Trim(dstW, mw); dstH = Trim(dstH, mh); break;
    case jtRotate270: dstH = Trim(dstH, mh); break;
    default: Job.BadRequest = true; return;
  }

  // Every block takes at least one bit of entropy-coded data; a header that
  // announces far more blocks than the input holds would only make us
  // allocate (and zero) memory for nothing.
  Int64 blocks = 0;
  for (int c = 0; c < src.num_components; ++c)
    blocks += Int64{src.comp_info[c].width_in_blocks} * src.comp_info[c].height_in_blocks;
  if (blocks > Job.InputBytes * 8 + 4096) {
    Job.BadRequest = true;
    return;
  }

  // Workspace of the destination's size; the horizontal mirror works in
  // place and no transform needs none.
  const bool workspace = code != jtNone && code != jtHorizFlip;
  jvirt_barray_ptr dstArrays[MAX_COMPONENTS] = {};
  JDIMENSION dRows[MAX_COMPONENTS], dCols[MAX_COMPONENTS];
  for (int c = 0; c < comps; ++c) {
    dCols[c] = DivUp(dstW, mw) * static_cast<JDIMENSION>(hs[c]);
    dRows[c] = DivUp(dstH, mh) * static_cast<JDIMENSION>(vs[c]);
    if (workspace)
      dstArrays[c] = (*src.mem->request_virt_barray)(srcCommon, JPOOL_IMAGE, TRUE, dCols[c], dRows[c],
                                                     static_cast<JDIMENSION>(vs[c]));
  }

  jvirt_barray_ptr* srcArrays = jpeg_read_coefficients(&src);
  jpeg_copy_critical_parameters(&src, &dst);
  if (Job.Grayscale) {
    const int table = dst.comp_info[0].quant_tbl_no;
    jpeg_set_colorspace(&dst, JCS_GRAYSCALE);
    dst.comp_info[0].quant_tbl_no = table;
  } else if (transposed) {
    for (int c = 0; c < dst.num_components; ++c) {
      jpeg_component_info& ci = dst.comp_info[c];
      std::swap(ci.h_samp_factor, ci.v_samp_factor);
    }
  }
  if (transposed) {
    for (JQUANT_TBL* q : dst.quant_tbl_ptrs) {
      if (!q) continue;
      for (int i = 0; i < DCTSIZE; ++i)
        for (int j = 0; j < i; ++j) std::swap(q->quantval[i * DCTSIZE + j], q->quantval[j * DCTSIZE + i]);
    }
  }
  dst.image_width = dstW;
  dst.image_height = dstH;

  jpeg_write_coefficients(&dst, workspace ? dstArrays : srcArrays);
  for (jpeg_saved_marker_ptr m = src.marker_list; m; m = m->next) {
    if (dst.write_JFIF_header && IsMarker(m, JPEG_APP0, "JFIF", 5)) continue;
    if (dst.write_Adobe_marker && IsMarker(m, JPEG_APP0 + 14, "Adobe", 5)) continue;
    jpeg_write_marker(&dst, m->marker, m->data, m->data_length);
  }

  // Whole MCUs (in the destination's MCU size) of the source dimension that
  // becomes the destination's width and height: only those are mirrored.
  const JDIMENSION mcuColsM = (transposed ? srcH : srcW) / mw;
  const JDIMENSION mcuRowsM = (transposed ? srcW : srcH) / mh;
  const bool mirrorH = code == jtHorizFlip || code == jtTransverse || code == jtRotate90 || code == jtRotate180;
  const bool mirrorV = code == jtVertFlip || code == jtTransverse || code == jtRotate270 || code == jtRotate180;

  for (int c = 0; c < comps && code != jtNone; ++c) {
    const jpeg_component_info& sci = src.comp_info[c];
    const JDIMENSION sRows = DivUp(sci.height_in_blocks, sci.v_samp_factor) * sci.v_samp_factor;
    const JDIMENSION sCols = DivUp(sci.width_in_blocks, sci.h_samp_factor) * sci.h_samp_factor;
    const JDIMENSION cw = mcuColsM * static_cast<JDIMENSION>(hs[c]);
    const JDIMENSION ch = mcuRowsM * static_cast<JDIMENSION>(vs[c]);

    if (code == jtHorizFlip) {
      JBLOCKROW* rows = RowTable(srcCommon, srcArrays[c], sRows, true);
      TBlockMap map;
      MakeBlockMap(map, false, true, false);
      JBLOCK tmp;
      for (JDIMENSION y = 0; y < sRows; ++y) {
        JBLOCKROW row = rows[y];
        for (JDIMENSION x = 0; 2 * x < cw && cw <= sCols; ++x) {
          JCOEF* a = row[x];
          JCOEF* b = row[cw - 1 - x];
          std::memcpy(tmp, a, sizeof(JBLOCK));
          MoveBlock(b, a, map);
          if (a != b) MoveBlock(tmp, b, map);
        }
      }
      continue;
    }

    JBLOCKROW* sRow = RowTable(srcCommon, srcArrays[c], sRows, false);
    JBLOCKROW* dRow = RowTable(srcCommon, dstArrays[c], dRows[c], true);
    TBlockMap maps[4];
    for (int m = 0; m < 4; ++m) MakeBlockMap(maps[m], transposed, m & 1, m & 2);
    const JDIMENSION offX = orgX * static_cast<JDIMENSION>(hs[c]);
    const JDIMENSION offY = orgY * static_cast<JDIMENSION>(vs[c]);
    for (JDIMENSION y = 0; y < dRows[c]; ++y) {
      const bool mv = mirrorV && y < ch;
      const JDIMENSION ty = mv ? ch - 1 - y : y + offY;
      for (JDIMENSION x = 0; x < dCols[c]; ++x) {
        const bool mhx = mirrorH && x < cw;
        const JDIMENSION tx = mhx ? cw - 1 - x : x + offX;
        // (tx, ty) is the block position before the transpose.
        const JDIMENSION sy = transposed ? tx : ty, sx = transposed ? ty : tx;
        if (sy >= sRows || sx >= sCols) continue;  // outside the source: left zero
        MoveBlock(sRow[sy][sx], dRow[y][x], maps[(mhx ? 1 : 0) | (mv ? 2 : 0)]);
      }
    }
  }

  jpeg_finish_compress(&dst);
  jpeg_finish_decompress(&src);
}

}  // namespace

void LKJpegLosslessTransform(TStream* In, TStream* Out, TProgressRec& Progress, Integer Transform, bool Grayscale,
                             TLKJpegCopyMarkers CopyMarkers, const TRect& Crop) {
  std::atomic<bool> ownAbort{false};
  std::atomic<bool>* abort = Progress.AbortFlag ? Progress.AbortFlag : &ownAbort;
  if (!In || !Out) {
    abort->store(true);
    return;
  }
  const Int64 start = JpegTryStream(In);
  if (start < 0) {
    abort->store(true);
    return;
  }
  In->SetPosition(start);

  TXformJob job;
  job.Code = Transform;
  job.Grayscale = Grayscale;
  job.CopyMarkers = CopyMarkers;
  job.CropX = Crop.Left;
  job.CropY = Crop.Top;
  job.CropW = Int64{Crop.Right} - Crop.Left + 1;
  job.CropH = Int64{Crop.Bottom} - Crop.Top + 1;
  job.InputBytes = In->GetSize() - start;

  auto ctx = std::make_unique<TXformContext>();
  TLKJpegErrorMgr* err = &ctx->Err;
  ctx->Src.err = LKJpegInitErrorMgr(ctx->Err, abort);
  ctx->Dst.err = &ctx->Err.pub;
  if (!LKJpegGuard(err, [&] { jpeg_CreateDecompress(&ctx->Src, 62, sizeof(ctx->Src)); })) return;
  ctx->SrcCreated = true;
  if (!LKJpegGuard(err, [&] { jpeg_CreateCompress(&ctx->Dst, 62, sizeof(ctx->Dst)); })) return;
  ctx->DstCreated = true;
  if (!LKJpegGuard(err, [&] {
        LKJpegAttachSource(&ctx->Src, In, abort);
        LKJpegAttachDest(&ctx->Dst, Out, abort);
      }))
    return;
  if (abort->load()) return;
  // The error exit sets the abort flag itself; a refused request sets it here.
  if (LKJpegGuard(err, [&] { RunTransform(*ctx, job); }) && job.BadRequest) abort->store(true);
}
