// Fuzz target for the annotation marks of TIFF tag 32932: arbitrary bytes
// are loaded, the marks written back and the result loaded again. Nothing
// may crash, hang or read outside the input, and the reloaded marks must be
// the ones of the first load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkimagingannot.h"

namespace {

bool SamePicture(TLKBitmap* a, TLKBitmap* b) {
  if (!a || !b) return a == b;
  if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight() ||
      a->GetPixelFormat() != b->GetPixelFormat())
    return false;
  const Integer w = a->GetWidth();
  const size_t bits = size_t(a->GetBitCount()) * size_t(w);
  for (Integer y = 0; y < a->GetHeight(); ++y) {
    const Byte* ra = static_cast<const Byte*>(a->GetScanLine(y));
    std::vector<Byte> rowA(ra, ra + (bits + 7) / 8);
    const Byte* rb = static_cast<const Byte*>(b->GetScanLine(y));
    std::vector<Byte> rowB(rb, rb + (bits + 7) / 8);
    // Bits past the last pixel of a 1-bit row are padding.
    if (bits % 8) {
      const Byte keep = Byte(0xFF << (8 - bits % 8));
      rowA.back() &= keep;
      rowB.back() &= keep;
    }
    if (rowA != rowB) return false;
  }
  return true;
}

bool SameMark(TLKImagingObject* a, TLKImagingObject* b) {
  if (std::memcmp(&a->Attributes, &b->Attributes, sizeof a->Attributes) != 0) return false;
  if (a->Text != b->Text || a->Points.size() != b->Points.size()) return false;
  for (size_t i = 0; i < a->Points.size(); ++i)
    if (a->Points[i].X != b->Points[i].X || a->Points[i].Y != b->Points[i].Y) return false;
  return SamePicture(a->Picture.get(), b->Picture.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // A copy of exactly the input's size, so any read past it is caught.
  std::vector<Byte> input(data, data + size);
  TLKImagingAnnot first;
  first.LoadFromStandardBuffer(input.empty() ? nullptr : input.data(), static_cast<Integer>(input.size()));
  std::vector<Byte> saved;
  Integer length = -1;
  first.SaveToStandardBuffer(saved, length);
  if (length != static_cast<Integer>(saved.size())) std::abort();
  TLKImagingAnnot again;
  if (!again.LoadFromStandardBuffer(saved.data(), length)) std::abort();  // our own output is intact
  if (again.GetObjectsCount() != first.GetObjectsCount()) std::abort();
  for (Integer i = 0; i < first.GetObjectsCount(); ++i)
    if (!SameMark(first.GetObject(i), again.GetObject(i))) std::abort();
  return 0;
}
