// Writes the seed corpus of lkv_stream_fuzz: small blocks of every record
// version the reader takes, with every object kind, a shared picture and a
// group, and one clipboard block.
// Usage: lkv_seeds <directory>
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/lkbitmap.h"
#include "platform/classes.h"
#include "views/lumerakvect.h"

namespace {

void Save(const std::string& Path, const void* Data, std::size_t Size) {
  std::FILE* f = std::fopen(Path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(Data, 1, Size, f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string dir = argv[1];
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  TLumerakVect v;
  TLKBitmap pic(3, 2, lk24RGB);
  pic.GetAlphaChannel()->Fill(128);
  for (Byte k = lkkLINE; k <= lkkLINELABEL; ++k) {
    TLKVObject o;
    o.Kind = static_cast<TLKVObjectKind>(k);
    o.Name = "n";
    o.X2 = 9;
    o.Y2 = 9;
    if (k == lkkTEXT || k == lkkLINELABEL) {
      o.Text = "ab";
      o.CurvePoints = {{0, 0}, {5, 5}};
    }
    if (k == lkkMEMO) {
      o.Text = "xy";
      o.MemoCharIndex = {0, 0};
      o.MemoCharInfos.resize(1);
    }
    if (k == lkkPOLYLINE) o.PolyPoints = {{0, 0}, {4, 2}};
    const Integer h = v.AddVObject(o);
    if (k == lkkBITMAP) v.SetObjBitmap(h, &pic);
  }
  for (Integer version : {49, 51, 55, 60, 61, 67, 73, 75}) {
    TMemoryStream s;
    v.SaveToStreamLKVVersion(&s, version);
    Save(dir + "/v" + std::to_string(version), s.GetMemory(), static_cast<std::size_t>(s.GetSize()));
  }
  v.SelAllObjects();
  const std::vector<Byte> clip = v.SelectedObjectsBlock();
  Save(dir + "/clipboard", clip.data(), clip.size());
  return 0;
}
