// The layers stream of the single-image view: every layer's settings and
// image, little-endian.
//
// Header (25 bytes): "LUMERAKLAYERS", int32 version (6 written, 1..6 read,
// later versions read as 6), int32 compression (-1: each image in the
// library's raw form through zlib; otherwise a registry file type, 1 being
// stored as 8), int32 layer count. Then one record per layer (fields gated
// by version, see ReadRecord), each ending with the int64 stream position of
// its image; the images follow the records in layer order.
//
// Reading is all or nothing: the layers are read into a new stack, and only
// a stream read without fault replaces the view's layers. Every count,
// length and position is checked against the stream before it is used.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "views/lumerakview.h"

namespace {

constexpr char kMagic[] = "LUMERAKLAYERS";
constexpr Integer kMagicLen = 13;
constexpr Integer kHeaderLen = 25;
constexpr Integer kWriteVersion = 6;
constexpr Integer kRawCompression = -1;
// The smallest record (version 1 and 2 fields only).
constexpr Int64 kMinRecordLen = 43;
// zlib cannot expand data by more than about 1032 to 1; anything claiming
// more is damaged. The raw form of one layer never exceeds 2 GiB here.
constexpr Int64 kMaxInflateRatio = 1032;
constexpr Int64 kMaxRawSize = Int64{0x7FFFFFFF};
// The raw form's header with a full palette: magic, version, palette count,
// 256 entries and the settings.
constexpr Int64 kMaxRawHeaderLen = 12 + 4 + 4 + 3 * 256 + 55;

/// A fault of the stream: its message says what is wrong.
struct LayersError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void ReadExact(TStream* S, void* Buffer, Int64 Count, const char* What) {
  if (Count < 0 || S->Read(Buffer, static_cast<Integer>(Count)) != Count)
    throw LayersError(std::string("The layers stream ends inside ") + What);
}

template <typename T>
T ReadLE(TStream* S, const char* What) {
  Byte b[sizeof(T)];
  ReadExact(S, b, sizeof(T), What);
  std::make_unsigned_t<T> v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) v |= static_cast<std::make_unsigned_t<T>>(b[i]) << (8 * i);
  return static_cast<T>(v);
}

bool ReadBool(TStream* S, const char* What) { return ReadLE<uint8_t>(S, What) != 0; }

template <typename T>
void WriteLE(TStream* S, T V) {
  Byte b[sizeof(T)];
  const auto u = static_cast<std::make_unsigned_t<T>>(V);
  for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<Byte>(u >> (8 * i));
  S->WriteBuffer(b, sizeof(T));
}

void WriteBool(TStream* S, bool V) { WriteLE<uint8_t>(S, V ? 1 : 0); }

Int64 Remaining(TStream* S) { return S->GetSize() - S->GetPosition(); }

// An enumeration byte, refused outside 0..Last.
template <typename E>
E ReadEnum(TStream* S, Integer Last, const char* What) {
  const Integer v = ReadLE<uint8_t>(S, What);
  if (v > Last) throw LayersError(std::string("The layers stream holds an unknown ") + What + " " + std::to_string(v));
  return static_cast<E>(v);
}

void ReadRecord(TStream* S, Integer Version, TLKLayer& L) {
  L.Visible = ReadBool(S, "a layer record");
  L.BoxVisible = ReadBool(S, "a layer record");
  L.Opacity = ReadLE<int32_t>(S, "a layer record");
  L.PosX = ReadLE<int32_t>(S, "a layer record");
  L.PosY = ReadLE<int32_t>(S, "a layer record");
  L.Cropped = ReadBool(S, "a layer record");
  L.Locked = ReadBool(S, "a layer record");
  L.Magnify.Enabled = ReadBool(S, "a layer record");
  const auto rate = ReadLE<uint64_t>(S, "a layer record");
  std::memcpy(&L.Magnify.Rate, &rate, sizeof(double));
  L.Magnify.Source = ReadEnum<TLKMagnifySource>(S, lkmCanvas, "magnification source");
  if (Version >= 3) L.Magnify.Style = ReadEnum<TLKMagnifyStyle>(S, lkmEllipse, "magnification style");
  L.Operation = ReadEnum<TLKRenderOperation>(S, lklLuminosity, "blend operation");
  L.DisplayWidth = ReadLE<int32_t>(S, "a layer record");
  L.DisplayHeight = ReadLE<int32_t>(S, "a layer record");
  if (L.DisplayWidth < 0 || L.DisplayHeight < 0)
    throw LayersError("The layers stream gives a layer a negative display size");
  if (Version >= 3) {
    L.ResampleFilter = ReadEnum<TResampleFilter>(S, rfProjectWB, "resample filter");
    L.UseResampleFilter = ReadBool(S, "a layer record");
    const Integer nameLen = ReadLE<int32_t>(S, "a layer name");
    if (nameLen < 0 || nameLen > Remaining(S))
      throw LayersError("The layers stream gives a layer name length it does not hold");
    String name(static_cast<std::size_t>(nameLen), '\0');
    ReadExact(S, name.data(), nameLen, "a layer name");
    L.Name = name;
    const Integer dataLen = ReadLE<int32_t>(S, "a layer's user data");
    if (dataLen < 0 || dataLen > Remaining(S))
      throw LayersError("The layers stream gives a user data length it does not hold");
    std::vector<Byte> data(static_cast<std::size_t>(dataLen));
    ReadExact(S, data.data(), dataLen, "a layer's user data");
    L.SetUserData(data.data(), dataLen);
    L.IsMask = ReadBool(S, "a layer record");
  }
  if (Version >= 4) L.Selectable = ReadBool(S, "a layer record");
  if (Version >= 6) L.DrawOuter = ReadBool(S, "a layer record");
  L.ClientRect = TRect{};
}

// Inflates a zlib stream of InLen bytes into at most MaxOut bytes; with
// Whole false the first MaxOut bytes will do.
std::vector<Byte> Inflate(const Byte* In, Int64 InLen, Int64 MaxOut, bool Whole = true) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw LayersError("The layer image cannot be decompressed");
  std::vector<Byte> out;
  z.next_in = const_cast<Byte*>(In);
  z.avail_in = static_cast<uInt>(InLen);
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (static_cast<Int64>(out.size()) >= MaxOut) break;
    const std::size_t chunk = static_cast<std::size_t>(std::min<Int64>(MaxOut - out.size(), 1 << 20));
    const std::size_t at = out.size();
    out.resize(at + chunk);
    z.next_out = out.data() + at;
    z.avail_out = static_cast<uInt>(chunk);
    rc = inflate(&z, Z_NO_FLUSH);
    out.resize(at + (chunk - z.avail_out));
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  if (rc != Z_STREAM_END && (Whole || rc != Z_OK)) throw LayersError("The layer image is not a complete zlib stream");
  return out;
}

void BitsForFormat(TLKBitmap* B, TIOParamsVals* P) {
  switch (B->GetPixelFormat()) {
    case lk1g:
      P->BITSPERSAMPLE = 1;
      P->SAMPLESPERPIXEL = 1;
      break;
    case lk8g:
      P->BITSPERSAMPLE = 8;
      P->SAMPLESPERPIXEL = 1;
      break;
    default:
      P->BITSPERSAMPLE = 8;
      P->SAMPLESPERPIXEL = 3;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

void TLumerakView::WriteLayerImage(TStream* Stream, TLKLayer* Layer, Integer Compression) {
  TLKBitmap* b = Layer->Bitmap;
  if (Compression == kRawCompression) {
    const Int64 rawSize = b->CalcRAWSize();
    if (rawSize > kMaxRawSize) throw EStreamError("A layer is too large for the layers stream");
    std::vector<Byte> raw(static_cast<std::size_t>(rawSize));
    if (!b->SaveRAWToBufferOrStream(raw.data(), nullptr)) throw EStreamError("A layer image could not be stored");
    uLongf packedLen = compressBound(static_cast<uLong>(raw.size()));
    std::vector<Byte> packed(packedLen);
    if (compress2(packed.data(), &packedLen, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) !=
            Z_OK ||
        packedLen > static_cast<uLongf>(kMaxRawSize))
      throw EStreamError("A layer image could not be compressed");
    WriteLE<int32_t>(Stream, static_cast<int32_t>(packedLen));
    Stream->WriteBuffer(packed.data(), static_cast<Int64>(packedLen));
    return;
  }
  // The layer's own bitmap, whether or not it can become current.
  TLumerakIO io(nullptr);
  io.SetAttachedLKBitmap(b);
  BitsForFormat(b, io.GetIOParams());
  io.SaveToStream(Stream, Compression);
  if (io.GetAborted()) throw EStreamError("A layer image could not be saved in file type " + std::to_string(Compression));
}

void TLumerakView::LayersSaveToStream(TStream* Stream, Integer Compression) {
  SyncCurrentToLayer();
  if (Compression == 1) Compression = 8;  // a request for TIFF stores PNG
  Stream->WriteBuffer(kMagic, kMagicLen);
  WriteLE<int32_t>(Stream, kWriteVersion);
  WriteLE<int32_t>(Stream, Compression);
  WriteLE<int32_t>(Stream, GetLayersCount());
  std::vector<Int64> placeholders;
  for (TLKLayer* l : FLayers) {
    WriteBool(Stream, l->Visible);
    WriteBool(Stream, l->BoxVisible);
    WriteLE<int32_t>(Stream, l->Opacity);
    WriteLE<int32_t>(Stream, l->PosX);
    WriteLE<int32_t>(Stream, l->PosY);
    WriteBool(Stream, l->Cropped);
    WriteBool(Stream, l->Locked);
    WriteBool(Stream, l->Magnify.Enabled);
    uint64_t rate;
    std::memcpy(&rate, &l->Magnify.Rate, sizeof(double));
    WriteLE<uint64_t>(Stream, rate);
    WriteLE<uint8_t>(Stream, l->Magnify.Source);
    WriteLE<uint8_t>(Stream, l->Magnify.Style);
    WriteLE<uint8_t>(Stream, l->Operation);
    WriteLE<int32_t>(Stream, l->DisplayWidth);
    WriteLE<int32_t>(Stream, l->DisplayHeight);
    WriteLE<uint8_t>(Stream, l->ResampleFilter);
    WriteBool(Stream, l->UseResampleFilter);
    WriteLE<int32_t>(Stream, static_cast<int32_t>(l->Name.size()));
    Stream->WriteBuffer(l->Name.data(), static_cast<Int64>(l->Name.size()));
    WriteLE<int32_t>(Stream, l->GetUserDataLength());
    if (l->GetUserDataLength() > 0) Stream->WriteBuffer(l->GetUserData(), l->GetUserDataLength());
    WriteBool(Stream, l->IsMask);
    WriteBool(Stream, l->Selectable);
    WriteBool(Stream, l->DrawOuter);
    placeholders.push_back(Stream->GetPosition());
    WriteLE<int64_t>(Stream, 0);
  }
  for (std::size_t i = 0; i < FLayers.size(); ++i) {
    const Int64 p = Stream->GetPosition();
    Stream->SetPosition(placeholders[i]);
    // Low 32 bits, then high 32 bits.
    WriteLE<uint32_t>(Stream, static_cast<uint32_t>(p & 0xFFFFFFFF));
    WriteLE<uint32_t>(Stream, static_cast<uint32_t>(static_cast<uint64_t>(p) >> 32));
    Stream->SetPosition(p);
    WriteLayerImage(Stream, FLayers[i], Compression);
    Stream->Seek(0, soEnd);
  }
}

void TLumerakView::LayersSaveToFile(const String& FileName, Integer Compression) {
  WriteFileAtomically(FileName, [&](TStream* Stream) { LayersSaveToStream(Stream, Compression); });
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

void TLumerakView::ReadLayerImage(TStream* Stream, Integer Compression, TLKBitmap* Target, bool Mask, Int64 End) {
  if (Compression == kRawCompression) {
    const Integer packedLen = ReadLE<int32_t>(Stream, "a layer image");
    if (packedLen < 0 || packedLen > End - Stream->GetPosition())
      throw LayersError("The layers stream gives an image length it does not hold");
    std::vector<Byte> packed(static_cast<std::size_t>(packedLen));
    ReadExact(Stream, packed.data(), packedLen, "a layer image");
    // The image's header says how large it is: the gate is asked on it, and
    // the data inflates to no more than it announces.
    const std::vector<Byte> head = Inflate(packed.data(), packedLen, kMaxRawHeaderLen, false);
    Integer width = 0, height = 0;
    TLKPixelFormat format = lknull;
    Int64 least = 0, announced = 0;
    if (!LKRAWFormHeader(head.data(), static_cast<Int64>(head.size()), width, height, format, least, announced))
      throw LayersError("A layer image in the layers stream is damaged");
    if (width > 0 && height > 0) {
      std::atomic<bool> refused{false};
      TLKAbortNote reason;
      TProgressRec progress;
      progress.AbortFlag = &refused;
      progress.AbortNote = &reason;
      TLKPictureRequest request;
      request.Width = width;
      request.Height = height;
      request.BitsPerPixel = LKPixelFormatBitCount(format);
      request.MinCodedBytes = least / kMaxInflateRatio;
      request.AvailableBytes = packedLen;
      request.WorkBytes = announced;
      if (!LKAllowPicture(request, progress, "Layer image")) throw LayersError(reason.Get());
    }
    const Int64 cap = std::min(kMaxRawSize, announced);
    const std::vector<Byte> raw = Inflate(packed.data(), packedLen, cap);
    if (raw.empty() || !Target->LoadRAWFromBufferOrStream(raw.data(), nullptr, static_cast<Int64>(raw.size())))
      throw LayersError("A layer image in the layers stream is damaged");
    return;
  }
  TLumerakIO io(nullptr);
  io.SetAttachedLKBitmap(Target);
  if (Mask) io.SetNativePixelFormat(true);
  io.LoadFromStreamFormat(Stream, Compression);
  if (io.GetAborted() || Target->GetWidth() <= 0 || Target->GetHeight() <= 0)
    throw LayersError("A layer image of file type " + std::to_string(Compression) + " could not be read");
}

void TLumerakView::ReadLayersStream(TStream* Stream) {
  const Int64 size = Stream->GetSize();
  char magic[kMagicLen];
  ReadExact(Stream, magic, kMagicLen, "the header");
  Integer version = ReadLE<int32_t>(Stream, "the header");
  const Integer compression = ReadLE<int32_t>(Stream, "the header");
  const Integer count = ReadLE<int32_t>(Stream, "the header");
  if (std::memcmp(magic, kMagic, kMagicLen) != 0 || version <= 0)
    throw LayersError("Not a layers stream (no \"LUMERAKLAYERS\" header)");
  version = std::min(version, kWriteVersion);
  if (count < 0 || count > Remaining(Stream) / kMinRecordLen)
    throw LayersError("The layers stream gives a layer count of " + std::to_string(count) +
                      " that it cannot hold");
  if (count == 0) {
    while (GetLayersCount() > 1) LayersRemove(GetLayersCount() - 1);
    return;
  }

  std::vector<std::unique_ptr<TLKLayer>> stack;
  for (Integer i = 0; i < count; ++i) {
    auto layer = std::make_unique<TLKLayer>(this, nullptr, false);
    layer->Bitmap->SetLocation(lkMemory);
    ReadRecord(Stream, version, *layer);
    const Int64 low = ReadLE<uint32_t>(Stream, "a layer record");
    const Int64 high = ReadLE<int32_t>(Stream, "a layer record");
    const Int64 pos = low + high * (Int64{1} << 32);
    if (pos < kHeaderLen || pos >= size)
      throw LayersError("The layers stream places a layer image at " + std::to_string(pos) + ", outside the stream");
    const Int64 next = Stream->GetPosition();
    Stream->SetPosition(pos);
    ReadLayerImage(Stream, compression, layer->Bitmap, layer->IsMask, size);
    if (FLegacyBitmap) {
      // Class-library storage where the pixel format allows it.
      try {
        layer->Bitmap->SetLocation(lkTBitmap);
      } catch (const Exception&) {
      }
    }
    Stream->SetPosition(next);
    stack.push_back(std::move(layer));
  }

  // Everything was read: the new stack replaces the old one. The first
  // layer keeps the view's first layer object (its owner relation) but
  // takes the new settings and bitmap.
  SyncCurrentToLayer();
  for (TLKLayer* l : FLayers) delete l;
  FLayers.clear();
  for (auto& l : stack) FLayers.push_back(l.release());
  FCurrent = FLayers[0]->Bitmap;
  SetCurrentNone();
  SetLayersCurrent(count - 1);
}

bool TLumerakView::LayersLoadFromStream(TStream* Stream) {
  FLastLayersError.clear();
  try {
    ReadLayersStream(Stream);
  } catch (const LayersError& e) {
    FLastLayersError = e.what();
    return false;
  } catch (const std::bad_alloc&) {
    FLastLayersError = "The layers stream asks for more memory than is available";
    return false;
  } catch (const std::exception& e) {
    // A layer image that its reader refused by raising.
    FLastLayersError = std::string("A layer image could not be read: ") + e.what();
    return false;
  }
  return true;
}

bool TLumerakView::LayersLoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  return LayersLoadFromStream(&f);
}
