#include "io/lkgraphicbase.h"

#include <cstring>

#include "io/lumerakio.h"
#include "platform/clipboard.h"
#include "processing/lkdibcopy.h"

TLKGraphicBase::TLKGraphicBase() : TLKGraphicBase(0) {}

TLKGraphicBase::TLKGraphicBase(Integer FileType)
    : FBitmap(std::make_unique<TLKBitmap>()), FIO(std::make_unique<TLumerakIO>()), FFileType(FileType) {
  FIO->SetAttachedLKBitmap(FBitmap.get());
}

TLKGraphicBase::~TLKGraphicBase() {
  FIO.reset();
  FBitmap.reset();
}

void TLKGraphicBase::Assign(TPersistent* Source) {
  if (auto* g = dynamic_cast<TLKGraphicBase*>(Source)) {
    if (g != this) FBitmap->Assign(g->FBitmap.get());
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    if (b->GetPixelFormat() != pf24bit && b->GetPixelFormat() != pf1bit) b->SetPixelFormat(pf24bit);
    FBitmap->Assign(b);
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TLKGraphicBase::Draw(TCanvas* ACanvas, const TRect& Rect) {
  FBitmap->RenderToCanvas(ACanvas, Rect.Left, Rect.Top, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top,
                          FDrawFilter, 1);
}

Integer TLKGraphicBase::GetWidth() const { return FBitmap->GetWidth(); }
Integer TLKGraphicBase::GetHeight() const { return FBitmap->GetHeight(); }

void TLKGraphicBase::SetWidth(Integer Value) {
  FBitmap->SetWidth(Value);
  Changed();
}

void TLKGraphicBase::SetHeight(Integer Value) {
  FBitmap->SetHeight(Value);
  Changed();
}

std::unique_ptr<TGraphic> TLKGraphicBase::Clone() const {
  auto g = std::make_unique<TLKGraphicBase>();
  g->FBitmap->Assign(FBitmap.get());
  return g;
}

void TLKGraphicBase::LoadFromStream(TStream* Stream) {
  if (!FIO) return;
  // The reader works on a fresh bitmap, so that a refused file leaves the
  // picture as it was and the caller learns that nothing was read.
  auto fresh = std::make_unique<TLKBitmap>();
  FIO->SetAttachedLKBitmap(fresh.get());
  FIO->LoadFromStreamFormat(Stream, FFileType);
  if (FIO->GetAborted()) {
    const String reason = FIO->GetAbortReason();
    FIO->SetAttachedLKBitmap(FBitmap.get());
    throw EInvalidGraphic(reason.empty() ? String("The picture could not be read") : reason);
  }
  FBitmap = std::move(fresh);
  FIO->SetAttachedLKBitmap(FBitmap.get());
  Changed();
}

void TLKGraphicBase::SaveToStream(TStream* Stream) {
  if (!FIO) return;
  FIO->SaveToStream(Stream, FFileType);
  if (FIO->GetAborted()) {
    const String reason = FIO->GetAbortReason();
    throw EInvalidGraphic(reason.empty() ? String("The picture could not be written") : reason);
  }
}

void TLKGraphicBase::WriteData(TStream* Stream) {
  TMemoryStream m;
  SaveToStream(&m);
  const Int64 size = m.GetSize();
  if (size > 0x7FFFFFFF) throw EInvalidGraphic("The picture is too large for a form file");
  const uint32_t n = static_cast<uint32_t>(size);
  const Byte le[4] = {Byte(n), Byte(n >> 8), Byte(n >> 16), Byte(n >> 24)};
  Stream->WriteBuffer(le, 4);
  if (n > 0) Stream->WriteBuffer(m.GetMemory(), n);
}

void TLKGraphicBase::ReadData(TStream* Stream) {
  Byte le[4];
  if (Stream->Read(le, 4) != 4) return;
  const int32_t n = static_cast<int32_t>(uint32_t(le[0]) | uint32_t(le[1]) << 8 | uint32_t(le[2]) << 16 |
                                         uint32_t(le[3]) << 24);
  if (n > 0) LoadFromStream(Stream);
}

void TLKGraphicBase::LoadFromClipboardFormat(Word Format, const std::vector<Byte>& Data) {
  if (Format != CF_DIB) return;
  if (_CopyDIB2BitmapEx(Data, FBitmap.get()) != 0) Changed();
}

void TLKGraphicBase::SaveToClipboardFormat(Word& Format, std::vector<Byte>& Data) {
  Data = _CopyBitmaptoDIBEx(FBitmap.get(), 0, 0, 0, 0);
  Format = CF_DIB;
}

namespace {

template <class T>
void RegisterAll(std::initializer_list<const char*> Extensions, const char* Description) {
  for (const char* e : Extensions) TPicture::RegisterFileFormat<T>(e, Description);
}

}  // namespace

void LKRegisterFormats() {
  RegisterAll<TLKTIFFImage>({"TIF", "TIFF", "FAX", "G3N", "G3F"}, "TIFF Bitmap");
  RegisterAll<TLKGIFImage>({"GIF"}, "CompuServe Bitmap");
  RegisterAll<TLKJpegImage>({"JPG", "JPEG", "JPE"}, "JPEG Bitmap");
  RegisterAll<TLKPCXImage>({"PCX"}, "PaintBrush");
  RegisterAll<TLKBMPImage>({"DIB", "RLE"}, "Windows Bitmap");
  RegisterAll<TLKPNGImage>({"PNG"}, "Portable Network Graphics");
  RegisterAll<TLKTGAImage>({"TGA", "TARGA", "VDA", "ICB", "VST", "PIX"}, "Targa Bitmap");
  RegisterAll<TLKPXMImage>({"PXM", "PPM", "PGM", "PBM"}, "Portable Pixmap, GreyMap, BitMap");
  RegisterAll<TLKJP2Image>({"JP2"}, "JPEG2000");
  RegisterAll<TLKJ2KImage>({"J2K", "JPC", "J2C"}, "JPEG2000 Code Stream");
  RegisterAll<TLKPSDImage>({"PSD"}, "Adobe PSD");
}

void LKUnregisterFormats() {
  TPicture::UnregisterGraphicClass<TLKTIFFImage>();
  TPicture::UnregisterGraphicClass<TLKGIFImage>();
  TPicture::UnregisterGraphicClass<TLKJpegImage>();
  TPicture::UnregisterGraphicClass<TLKPCXImage>();
  TPicture::UnregisterGraphicClass<TLKBMPImage>();
  TPicture::UnregisterGraphicClass<TLKPNGImage>();
  TPicture::UnregisterGraphicClass<TLKTGAImage>();
  TPicture::UnregisterGraphicClass<TLKPXMImage>();
  TPicture::UnregisterGraphicClass<TLKJP2Image>();
  TPicture::UnregisterGraphicClass<TLKJ2KImage>();
  TPicture::UnregisterGraphicClass<TLKPSDImage>();
}
