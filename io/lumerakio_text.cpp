// The picture as text: its encoded bytes as a Pascal byte array, as hex
// bytes for C-like sources, as Base64 lines, or the pixels as ASCII art.

#include <cmath>
#include <cstdio>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"

namespace {

// Writes text into a stream, failing loudly on a short write.
class TTextOut {
 public:
  explicit TTextOut(TStream* S) : FStream(S) {}
  void Line(const String& Text) {
    Put(Text);
    Put("\n");
  }
  void Put(const String& Text) {
    if (!Text.empty()) FStream->WriteBuffer(Text.data(), Integer(Text.size()));
  }

 private:
  TStream* FStream;
};

String Hex2(Byte B) {
  char t[3];
  std::snprintf(t, sizeof t, "%02X", B);
  return t;
}

// The bytes as items Prefix + two digits, each followed by ",", the last by
// Last; the pending text goes out as a line once it is longer than 70
// characters, and what remains at the end as the last line.
void WriteByteLines(TTextOut& Out, const Byte* Data, Int64 N, const char* Prefix, const char* Last,
                    const String& Indent) {
  String pending;
  for (Int64 i = 0; i < N; ++i) {
    pending += Prefix + Hex2(Data[i]) + (i + 1 == N ? Last : ",");
    if (pending.size() > 70) {
      Out.Line(Indent + pending);
      pending.clear();
    }
  }
  if (!pending.empty()) Out.Line(Indent + pending);
}

// Standard Base64 in lines of LineLength characters (groups of four).
void WriteBase64(TTextOut& Out, const Byte* Data, Int64 N, Integer LineLength) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const Int64 groupsPerLine = (LineLength + 3) / 4;
  String line;
  Int64 groups = 0;
  for (Int64 i = 0; i < N; i += 3) {
    const Int64 k = N - i < 3 ? N - i : 3;
    const unsigned v = unsigned(Data[i]) << 16 | unsigned(k > 1 ? Data[i + 1] : 0) << 8 | (k > 2 ? Data[i + 2] : 0);
    line += kAlphabet[v >> 18 & 63];
    line += kAlphabet[v >> 12 & 63];
    line += k > 1 ? kAlphabet[v >> 6 & 63] : '=';
    line += k > 2 ? kAlphabet[v & 63] : '=';
    if (++groups == groupsPerLine) {
      Out.Line(line);
      line.clear();
      groups = 0;
    }
  }
  if (groups > 0) Out.Line(line);
}

void WriteAsciiArt(TTextOut& Out, TLKBitmap& B) {
  static const char kPalette[] = "W@#*+:., ";
  for (Integer y = 0; y < B.GetHeight(); ++y) {
    const Byte* row = static_cast<const Byte*>(B.GetScanLine(y));
    String line;
    line.reserve(size_t(B.GetWidth()));
    for (Integer x = 0; x < B.GetWidth(); ++x) {
      const Byte* p = row + 3 * x;  // blue, green, red
      const double grey = (p[2] * double(gRedToGrayCoef) + p[1] * double(gGreenToGrayCoef) +
                           p[0] * double(gBlueToGrayCoef)) / 100.0;
      int index = int(std::trunc(grey / 255.0 * 9.0));
      index = index < 0 ? 0 : index > 8 ? 8 : index;
      line += kPalette[index];
    }
    Out.Line(line);
  }
}

}  // namespace

void TLumerakIO::SaveToText(const String& FileName, Integer FileType, TLKTextFormat Format) {
  TLKBitmap* b = GetLKBitmap();
  if (Format == lktfASCIIArt) {
    // Only 24-bit pictures are drawn; any other leaves an existing file as
    // it was.
    if (!b || b->GetPixelFormat() != lk24RGB) {
      SetAbortedWith("ASCII art is drawn from 24-bit pictures only");
      return;
    }
    WriteFileAtomically(FileName, [&](TStream* S) {
      TTextOut out(S);
      WriteAsciiArt(out, *b);
    });
    GetIOParams()->FILENAME = FileName;
    return;
  }
  TMemoryStream encoded;
  SaveToStream(&encoded, FileType);
  // A picture that could not be encoded leaves an existing file as it was
  // (the save set the abort flag with its reason).
  if (GetAborted()) return;
  const Byte* data = static_cast<const Byte*>(encoded.Memory());
  const Int64 n = encoded.Size();
  String id = FileName;
  if (const size_t dot = id.find('.'); dot != String::npos) id[dot] = '_';
  const String sizeId = id + "_Size";
  WriteFileAtomically(FileName, [&](TStream* S) {
    TTextOut out(S);
    switch (Format) {
      case lktfPascal:
        out.Line("const");
        out.Line("  " + sizeId + " = " + std::to_string(n) + ";");
        out.Line("  " + id + " : array [0.." + sizeId + "-1] of byte = (");
        if (n == 0) out.Line("    );");
        WriteByteLines(out, data, n, "$", ");", "    ");
        break;
      case lktfHEX:
        out.Line("\\\\ Size=" + std::to_string(n));
        WriteByteLines(out, data, n, "0x", "", "");
        break;
      default:
        WriteBase64(out, data, n, 76);
        break;
    }
  });
  GetIOParams()->FILENAME = FileName;
}
