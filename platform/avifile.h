// AVI files (RIFF, with OpenDML extension parts) read and written by frame:
// the first video stream only, its frames handed over as the coded bytes
// the file holds, with the bitmap format (header and palette) in force for
// each. Decoding and encoding the frames is the caller's business.
//
// Every size the file states is checked against what is really there: a
// chunk that runs past its list or the file ends the scan (the frames whose
// data is complete before it stay readable), so a cut file still gives its
// first frames and a hostile one never makes the reader read or allocate
// past the file.
//
// Threads: one object belongs to one thread at a time.
#pragma once

#include <memory>
#include <vector>

#include "platform/classes.h"

/// Four-character code as a little-endian 32-bit number ("MJPG" -> 'M' low).
constexpr Cardinal AviFourCC(const char (&C)[5]) {
  return Cardinal(Byte(C[0])) | Cardinal(Byte(C[1])) << 8 | Cardinal(Byte(C[2])) << 16 | Cardinal(Byte(C[3])) << 24;
}

/// The video stream of an AVI file as its headers describe it.
struct TAviVideoInfo {
  Integer Width = 0;         ///< frame width in pixels (from the bitmap format)
  Integer Height = 0;        ///< frame height in pixels, positive (rows bottom-up unless TopDown)
  bool TopDown = false;      ///< the bitmap format gives a negative height
  Cardinal Rate = 0;           ///< frames per Scale seconds
  Cardinal Scale = 0;
  Cardinal Handler = 0;        ///< the stream header's compressor code
  Cardinal Compression = 0;    ///< the bitmap format's compression (0: plain rows)
  Integer BitCount = 0;      ///< bits per pixel of the bitmap format
  Integer StatedLength = 0;  ///< frames the stream header states
};

/// Reads frames of the first video stream.
class TAviReader {
 public:
  TAviReader();
  ~TAviReader();
  /// Opens the file; false (Error says why) when it cannot be opened, is no
  /// AVI file or holds no video stream.
  bool Open(const String& FileName);
  /// The same over a stream the reader takes.
  bool Open(std::unique_ptr<TStream> Stream);
  void Close();
  bool IsOpen() const { return FStream != nullptr; }
  String Error() const { return FError; }
  const TAviVideoInfo& Info() const { return FInfo; }
  /// Frames found in the file (an empty chunk repeats the frame before it).
  Integer FrameCount() const { return Integer(FFrames.size()); }
  /// The coded bytes of frame Index and the bitmap format (40-byte header
  /// and palette) in force for it. False for an index out of range, a frame
  /// with no coded frame at or before it, or a read that fails.
  bool ReadFrame(Integer Index, std::vector<Byte>& Data, std::vector<Byte>& Format);

 private:
  struct TFrame {
    Int64 Offset;   // of the data
    Cardinal Size;
    Integer Palette;  // index into FFormats
  };
  bool Fail(const String& Why);
  bool ParseHeaderList(Int64 Start, Int64 End);
  void ScanMovi(Int64 Start, Int64 End, int Depth);
  bool ParseRiff(Int64 Start, Int64 End, bool First);

  std::unique_ptr<TStream> FStream;
  Int64 FSize = 0;
  String FError;
  TAviVideoInfo FInfo;
  Integer FVideoStream = -1;   // its number, as in "00dc"
  std::vector<std::vector<Byte>> FFormats;  // the stream's format, then each palette change
  std::vector<TFrame> FFrames;
};

/// Writes one video stream frame by frame. The file is written beside the
/// target and takes its place only at Finish (an abandoned writer leaves
/// the old file as it was).
class TAviWriter {
 public:
  /// Creates the new file; raises EFCreateError when it cannot.
  explicit TAviWriter(const String& FileName);
  ~TAviWriter();
  /// Fixes the stream: frame size, Rate/Scale frames per second, the
  /// compressor code of the stream header, and the bitmap format (40-byte
  /// header, palette after it for 8 bits or less). Before the first frame.
  void Begin(Integer Width, Integer Height, Cardinal Rate, Cardinal Scale, Cardinal Handler,
             const std::vector<Byte>& Format);
  /// Appends a frame of coded bytes; with Palette (256 entries of blue,
  /// green, red, 0) differing from the one in force, a palette change goes
  /// before it. False when the file would pass what a RIFF part holds.
  bool AddFrame(const Byte* Data, Cardinal Size, bool Compressed, const std::vector<Byte>* Palette = nullptr);
  Integer Frames() const { return Integer(FIndex.size() / 16); }
  /// Writes the index, completes the headers and replaces the target.
  /// Raises as TAtomicFile::Commit.
  void Finish();

 private:
  class TImpl;
  std::unique_ptr<TImpl> FImpl;
  std::vector<Byte> FIndex;
};
