// One row per picture format: everything the library needs to know to
// detect, load and save a format, in one place.
//
// ===========================================================================
// How to add a format
// ===========================================================================
//
// 1. Make a folder codecs/<format>/ with the reader and the writer (see
//    codecs/jpeg/ for the shape). Readers use TLKByteReader
//    (core/lkbytereader.h) for headers and ask LKAllowPicture
//    (core/lkallocgate.h) before they size the picture; every failure goes
//    through LKAbort (core/lkabort.h).
//
// 2. In that folder define the row, in a file named <format>_row.cpp:
//
//        #include "io/lkformatrow.h"
//
//        namespace {
//        void Read(TLKFormatJob& J) { ... J.Stream, *J.Bitmap, J.Params, J.Progress, J.ParamsOnly ... }
//        void Write(TLKFormatJob& J) { ... }
//        bool Probe(TStream& S) { ... magic bytes only, position restored ... }
//        }  // namespace
//
//        extern constinit const TLKFormatRow LKRow_PNG = [] {
//          TLKFormatRow r;
//          r.Type = lkftPNG;
//          r.Name = "Portable Network Graphics";
//          r.Extensions = "PNG";
//          r.OptionPages = PreviewPage(ppPNG);
//          r.CanRead = r.CanWrite = true;
//          r.Read = Read;
//          r.Write = Write;
//          r.Probes[0] = {kLKProbePNG, Probe};
//          return r;
//        }();
//
//    The variable is named LKRow_ followed by the name used in the table
//    (step 3); constinit makes sure the row is plain data, ready before any
//    code runs. Give RoundTripTolerance and HeaderClaiming (see the row)
//    so that the registry-wide tests take the format in. Load and save particulars (stream headers, conversion before
//    saving, which steps a load takes) are fields of TLKLoadShape and
//    TLKSaveShape below: set the ones the format needs. A format of several
//    pictures per file gives its page operations (TLKPageOps, r.Pages); the
//    words the file-type text adds after the name ("LZW", "Interlaced")
//    come from r.TypeDetail.
//
// 3. Add one line X(<name>) to LK_BUILTIN_FORMAT_ROWS in
//    codecs/lkcodecs_table.cpp, at its registration place. A format that
//    already has a placeholder row (codecs/lkcodecs_placeholders.cpp) keeps
//    its line; delete its placeholder instead.
//
// Nothing in io/ changes: the registry, the content detection and the load
// and save frames of the I/O component find the format through its row. The
// per-format methods of TLumerakIO (LoadFromFilePNG, ...) are one-line
// forwards to the frames and already exist for every built-in format.
//
// Tests: the registry-wide round trip (tests/io/formatrows_test.cpp) runs
// every row that can write, and the hostile-header table every row that can
// read; a new row joins both by existing.
// ===========================================================================
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbytereader.h"
#include "io/lkfileformats.h"
#include "platform/classes.h"

class TLKBitmap;
class TLKMask;
class TIOParamsVals;
class TLumerakIO;
struct TLKFormatRow;

/// File type numbers of the built-in formats (IOParams FILETYPE, registry
/// FormatType). Formats of external plug-ins take numbers from
/// kLKFirstExternalFormat on.
enum TLKFileType : Integer {
  lkftUnknown = 0,
  lkftTIFF = 1,
  lkftGIF = 2,
  lkftJPEG = 3,
  lkftPCX = 4,
  lkftBMP = 5,
  lkftICO = 6,
  lkftCUR = 7,
  lkftPNG = 8,
  lkftWMF = 9,
  lkftEMF = 10,
  lkftTGA = 11,
  lkftPXM = 12,
  lkftJP2 = 13,
  lkftJ2K = 14,
  lkftAVI = 15,
  lkftWBMP = 16,
  lkftPS = 17,
  lkftPDF = 18,
  lkftDCX = 19,
  lkftRAW = 20,  ///< camera RAW
  lkftBMPRAW = 21,  ///< headerless raw pixels
  lkftPSD = 24,
};

/// What a read or write job works on. The frame that runs the job fills the
/// common part; the "beyond" fields carry what some formats need more.
struct TLKFormatJob {
  TLKFormatJob(const TLKFormatRow& Row, TStream& Stream, TLKBitmap* Bitmap, TIOParamsVals& Params,
               TProgressRec& Progress, bool ParamsOnly)
      : Row(Row), Stream(Stream), Bitmap(Bitmap), Params(Params), Progress(Progress), ParamsOnly(ParamsOnly) {}

  const TLKFormatRow& Row;  ///< the row being run (its Type tells JP2 from J2K, ICO from CUR)
  /// Read from / write at its current position. A reader leaves the position
  /// after what it read when it can tell; a writer after what it wrote.
  TStream& Stream;
  /// The working bitmap: a reader sizes and fills it (ParamsOnly: leaves its
  /// pixels alone); a writer reads it. Never null.
  TLKBitmap* Bitmap;
  /// The parameters: a reader fills what the file says, a writer follows
  /// the options.
  TIOParamsVals& Params;
  /// Progress and abort flag. Every failure sets the flag (LKAbort) and
  /// returns; a job raises only where TLumerakIO's failure rule says so.
  TProgressRec& Progress;
  /// Read only the parameters (width, height, resolution, metadata).
  bool ParamsOnly = false;

  // ---- beyond the common part

  /// Readers: an alpha mask made while reading (new TLKMask; the frame takes
  /// it into the bitmap's alpha channel and frees it). Writers of rows with
  /// TLKSaveShape::AlphaAsMask: a copy of the alpha channel, or null (owned
  /// by the frame).
  TLKMask* Mask = nullptr;
  /// Readers of multi-page formats: the number of pages or frames of the
  /// file (returned by TLumerakIO::LoadFromFileTIFF and the like).
  Integer PageCount = 0;
  /// Bytes the format's data may take from the position; -1: to the end of
  /// the stream (PCX after a "PCX2" stream header).
  Int64 ByteCount = -1;
  /// TIFF-like readers: offsets count from the position where the data
  /// starts (false after a "TIFF" stream header, where they count from the
  /// header's first byte).
  bool RelativeOffsets = true;
  /// Readers: leave any alpha channel out of the picture.
  bool IgnoreAlpha = false;
  /// Readers of layered formats: null, or (on the layered road of
  /// TLKLoadShape::LayersOption) the list that receives every layer as a
  /// layer object, the background layer first (the caller frees them; a
  /// document without layers gives its merged picture as the one layer).
  /// Writers: the layers to write with Bitmap as their merged picture; null:
  /// Bitmap alone.
  TList* Layers = nullptr;
};

/// A read or write job. Failures set the abort flag of Job.Progress.
using TLKFormatJobProc = void (*)(TLKFormatJob& Job);

/// A content probe: true when the stream holds the format at its current
/// position. Reads magic bytes only, never past the end (TLKByteReader), and
/// leaves the position where it found it.
using TLKFormatProbe = bool (*)(TStream& Stream);

/// Places in the detection order: detection asks the probes of all rows in
/// ascending order and the first that answers true names the type. Stream
/// header and plain magic tests come first, then the codec probes, then the
/// registered external formats (kLKProbeExternal), then the camera RAW
/// identification, which accepts many things and so comes last.
enum TLKProbeOrder : Integer {
  kLKProbeNone = 0,  ///< an unused probe slot
  kLKProbeJPEGHeader = 100,   ///< "JFIF" stream header
  kLKProbeGIF = 110,          ///< "GIF"
  kLKProbePCXHeader = 120,    ///< "PCX2" / "PCX" stream headers, PCX file header
  kLKProbeBMP = 130,          ///< "BM"
  kLKProbeTIFF = 140,         ///< "TIFF" stream header, TIFF file (not DNG)
  kLKProbePNG = 200,
  kLKProbeICO = 210,
  kLKProbeCUR = 220,
  kLKProbeTGA = 230,
  kLKProbePXM = 240,
  kLKProbeJPEG = 250,         ///< a JPEG start near the position
  kLKProbeJP2 = 260,
  kLKProbeJ2K = 270,
  kLKProbeAVI = 280,
  kLKProbeDCX = 290,
  kLKProbeWMF = 300,
  kLKProbeEMF = 310,
  kLKProbePSD = 320,
  kLKProbeExternal = 1000,    ///< the probes of registered external formats
  kLKProbeCameraRAW = 2000,
};

/// One probe of a row and its place in the detection order.
struct TLKRowProbe {
  Integer Order = kLKProbeNone;
  TLKFormatProbe Probe = nullptr;
};

/// A 12-byte stream header in front of a format's data in a stream: four
/// bytes of text, four zero bytes, the length of the data after the header
/// (32-bit little-endian).
enum TLKStreamHeaderUse : Byte {
  lkshNone,      ///< the format has no stream header
  lkshSkipped,   ///< loads skip one when present (always); saves write one with StreamHeaders
  lkshRequired,  ///< with StreamHeaders, loads require one (else abort) and saves write one
};

/// How the frames load a format (the steps every load takes are in
/// io/lumerakio.h; these are the ones that differ between formats).
struct TLKLoadShape {
  /// The file is opened before the finish is armed: a file that cannot be
  /// opened raises without a finish. Otherwise the open is inside the frame
  /// (finish reported, abort flag set, then the error raised).
  bool OpenFirst = false;
  /// A resolution below 2 becomes the default after the read.
  bool CheckResolution = true;
  /// AdjustDPI runs after the read when AutoAdjustDPI is set.
  bool AdjustResolution = true;
  /// The attached view takes the resolution: after file loads, after stream
  /// loads.
  bool ViewResolutionFromFile = true;
  bool ViewResolutionFromStream = true;
  /// Stream header use and its text ("JFIF", "TIFF", "PCX2"); a required
  /// header also accepts OlderHeader (four bytes long, the data running to
  /// the end of the stream).
  TLKStreamHeaderUse Header = lkshNone;
  const char* HeaderText = nullptr;
  const char* OlderHeader = nullptr;
  /// Component steps of the format: at the start of a file load (before
  /// anything else), and after the view took the resolution. Null: none.
  void (*BeforeFileLoad)(TLumerakIO& IO) = nullptr;
  void (*AfterViewResolution)(TLumerakIO& IO) = nullptr;
  /// This build has no way to load the format at all (not even a
  /// placeholder): by-extension loads set the abort flag and report the
  /// finish without opening the file.
  bool NoRoad = false;
  /// Layered formats: the option asking for the layers. When it is set and
  /// a view that keeps layers is attached, the read job gets a list
  /// (TLKFormatJob::Layers) and a picture of the load's own, and the view
  /// takes the layers only after a read that succeeded; the working bitmap
  /// is not read into. Null: the format has no layers to give.
  bool TIOParamsVals::*LayersOption = nullptr;

  /// A read job that raises ends the load with the abort flag (and the
  /// finish) instead of passing the exception on: the by-extension load of
  /// a registry record, whose reader the library does not know.
  bool ReaderErrorsAsFlag = false;
};

/// How the frames save a format.
struct TLKSaveShape {
  /// Convert the working bitmap to lk24RGB (unless lk24RGB or lk1g) first.
  bool Convert = false;
  /// The file is created before the finish is armed (an error raises
  /// without a finish).
  bool CreateFirst = false;
  /// Stream header written by stream saves with StreamHeaders, with its text.
  TLKStreamHeaderUse Header = lkshNone;
  const char* HeaderText = nullptr;
  /// The header's length is filled in only when the save succeeded (a
  /// reader then finds no header in a failed save's bytes).
  bool HeaderOnlySuccess = false;
  /// Stream saves replace what the stream held (the format is one file of
  /// pages that the writer inserts into).
  bool ReplaceStream = false;
  /// The writer gets a copy of the alpha channel in Job.Mask.
  bool AlphaAsMask = false;
  /// A step on the parameters before the writer runs; false fails the save
  /// (abort flag) before anything is written.
  bool (*BeforeWrite)(TIOParamsVals& Params) = nullptr;
  /// This build has no way to save the format: saves set the abort flag and
  /// report the finish without creating anything.
  bool NoRoad = false;
  /// Layered formats: with a view that keeps layers attached, the writer
  /// gets the view's layers merged into a picture of the save's own (made on
  /// the thread that starts the save) and the view's layer list, instead of
  /// the working bitmap alone.
  bool ViewLayers = false;
};

/// Formats written as documents of pages (PostScript, PDF): a document
/// that stays open between page saves. Handle is the writer's own state.
struct TLKDocumentOps {
  /// Starts a document in Stream (a writer may write its header at once).
  void* (*Create)(TStream& Stream, TIOParamsVals& Params) = nullptr;
  /// Adds Bitmap as the next page.
  void (*AddPage)(void* Handle, TStream& Stream, TLKBitmap* Bitmap, TIOParamsVals& Params,
                  TProgressRec& Progress) = nullptr;
  /// Finishes the document and frees Handle.
  void (*Close)(void* Handle, TStream& Stream, TIOParamsVals& Params) = nullptr;
};

/// The page operations of a format whose files hold several pictures (TIFF
/// pages, GIF frames, DCX pages, icon images). Every operation works on the
/// file at the stream's position and leaves the position there; a null
/// operation is one the format does not offer.
struct TLKPageOps {
  /// Pages of the file; 0 when the stream does not hold one.
  Integer (*Count)(TStream& Stream) = nullptr;
  /// Rebuilds the file without page Index; returns the pages kept, 0 when
  /// nothing was done (the stream is then unchanged).
  Integer (*Delete)(TStream& Stream, Integer Index) = nullptr;
  /// Rebuilds the file without the pages Indexes (Count of them) in one
  /// pass; returns the pages kept, 0 when nothing was done.
  Integer (*DeleteGroup)(TStream& Stream, const Integer* Indexes, Integer Count) = nullptr;
  /// Writes page Index as a file of one page at Output's position; false
  /// when there is no such page.
  bool (*Extract)(TStream& Stream, Integer Index, TStream& Output) = nullptr;
  /// A write job that inserts the job's bitmap as the page the parameters'
  /// image index names into the file the stream holds (an empty stream
  /// gets a file of one page). The frames of the I/O component run it as
  /// the save of the format. Failures set the abort flag.
  TLKFormatJobProc Insert = nullptr;
  /// The format's write job is an insertion already (DCX): page insertion
  /// runs the row's Write, and Insert stays null.
  bool SaveInserts = false;
  /// Writes Source's pages with the first page of Inserted placed at Index
  /// to Output; false when either is not a file of the format.
  bool (*Merge)(TStream& Source, TStream& Inserted, Integer Index, TStream& Output) = nullptr;
  /// Animated formats: whether the file FileName is marked to loop, and a
  /// rewrite of that mark (Loops repetitions, 0 for ever) with the logical
  /// screen Width x Height.
  bool (*IsAnimated)(const String& FileName) = nullptr;
  void (*MakeAnimated)(const String& FileName, Word Loops, Integer Width, Integer Height) = nullptr;
};

/// One format.
struct TLKFormatRow {
  Integer Type = lkftUnknown;   ///< TLKFileType, or an external plug-in's number
  const char* Name = "";        ///< display name (registry FormatName)
  const char* Extensions = "";  ///< extensions without dots, ";"-separated, the first the usual one
  TPreviewParams OptionPages = 0;  ///< format-options pages that apply
  /// Whether the registry lists the format as readable and writable. A
  /// format can be listed before its codec exists: a missing job then sets
  /// the abort flag.
  bool CanRead = false;
  bool CanWrite = false;
  /// Listed in the registry (false: detection only, such as AVI, whose frames
  /// come through the media road).
  bool Registered = true;
  TLKFormatJobProc Read = nullptr;
  TLKFormatJobProc Write = nullptr;
  /// Up to three probes, each with its place in the detection order.
  TLKRowProbe Probes[3];
  TLKLoadShape Load;
  TLKSaveShape Save;
  /// Further extensions a save by file name accepts for the format, beyond
  /// Extensions ("WIN" for Targa); empty: none.
  const char* SaveExtensions = "";
  /// Icon files only: writes every bitmap of Images (TLKBitmap objects) as
  /// one image of a new file. Failures set the abort flag.
  void (*WriteImages)(TStream& Stream, const std::vector<TObject*>& Images, TProgressRec& Progress) = nullptr;
  /// Document formats: the open-document operations of the component
  /// (TLumerakIO::CreatePSFile and the like); null for other formats.
  const TLKDocumentOps* Document = nullptr;
  /// For the registry-wide tests (tests/io/formatrows_test.cpp):
  ///  - the largest difference of a sample after a 24-bit colour picture
  ///    went through the writer and back through the reader; -1: the format
  ///    does not keep colour, only the size is compared;
  ///  - a minimal file of the format whose header claims Width x Height,
  ///    with little or no pixel data after it (null: the format has no
  ///    header to speak of). The hostile-header table and the fuzzing seeds
  ///    use it.
  Integer RoundTripTolerance = 0;
  /// The writer stores pictures at sizes of its own (icons at their page
  /// sizes): a round trip only has to succeed.
  bool RoundTripResizes = false;
  void (*HeaderClaiming)(Integer Width, Integer Height, std::vector<Byte>& File) = nullptr;
  /// The registry record of an external plug-in format this row stands for
  /// (rows of built-in formats: null).
  const TLKFileFormatInfo* External = nullptr;

  // ---- what the library says about a file of the format

  /// Formats of several pictures per file: their page operations (null:
  /// one picture per file).
  const TLKPageOps* Pages = nullptr;
  /// The words after the format's name in the parameters' file-type text
  /// (TIOParamsVals::GetFileTypeStr), from what the last read filled in:
  /// " LZW", " Interlaced". Null: nothing follows the name.
  String (*TypeDetail)(const TIOParamsVals& Params) = nullptr;
};

/// The built-in rows in registration order (defined beside the codecs,
/// codecs/lkcodecs_table.cpp), detection-only rows after them.
const std::vector<const TLKFormatRow*>& LKBuiltInFormatRows();

/// The rows in use: a copy of the built-in rows made on first use. Tests may
/// replace the jobs of a row here (TLKRowJobsSwap in the test kit) while no
/// I/O runs; nothing else changes it.
std::vector<TLKFormatRow>& LKFormatRows();

/// The built-in row of FileType (from LKFormatRows), null when none.
const TLKFormatRow* LKFormatRowOf(Integer FileType);

/// The row a registry record stands for: a copy of its built-in row, or for
/// an external format a row whose jobs call the record's read and write
/// functions (the record must stay registered while the row is used).
TLKFormatRow LKFormatRowOfRecord(const TLKFileFormatInfo& Record);

/// The built-in row listing Extension (any letter case, one leading dot
/// ignored) for saving: its registry extensions and its SaveExtensions.
/// Null when none.
const TLKFormatRow* LKFormatRowForSave(const String& Extension);

/// Runs the row's read job with Job, or sets the abort flag when the row
/// has none.
void LKRunRead(TLKFormatJob& Job);
/// Runs the row's write job with Job, or sets the abort flag when the row
/// has none.
void LKRunWrite(TLKFormatJob& Job);

// ---------------------------------------------------------------------------
// Helpers for rows

/// Runs Test with a byte reader over Stream from its position and sets the
/// position back on every path; a Test that raises answers false. The frame
/// of every content probe.
template <typename F>
bool LKProbeWith(TStream& Stream, F Test) {
  const Int64 pos = Stream.Position();
  bool ok = false;
  try {
    TLKByteReader reader(Stream);
    ok = Test(reader);
  } catch (...) {
    ok = false;
  }
  Stream.Seek(pos, soBeginning);
  return ok;
}

/// Probe of a text at the position: more than MinBytes bytes follow, and the
/// first bytes up to the first zero, at most Width of them, spell Text
/// (stream headers: "JFIF", "TIFF", "PCX2").
bool LKProbeText(TStream& Stream, const char* Text, size_t Width, Int64 MinBytes);

/// The icon sizes a save writes: the leading entries of ICO_PageSizes (at
/// most 16) whose width is positive, with the bit counts of the same
/// entries.
void LKIconSizesToWrite(const TIOParamsVals& Params, std::vector<TSize>& Sizes, std::vector<Integer>& BitCounts);
