// PostScript and PDF output of the I/O component: the one-step saves (a
// one-page document through the usual save frames) and the documents that
// stay open on the component while pages are added. The page and document
// bytes come from the rows' document operations.
#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"

namespace {

const TLKFormatRow& DocumentRow(Integer Type) {
  const TLKFormatRow* row = LKFormatRowOf(Type);
  if (!row) throw Exception("No format row for file type " + IntToStr(Type));
  return *row;
}

}  // namespace

void TLumerakIO::CreateDocument(TDocumentSlot& Slot, Integer Type, const String& FileName) {
  const TLKFormatRow& row = DocumentRow(Type);
  SetAborted(false);
  // A document of the same kind left open is finished first.
  CloseDocument(Slot, Type);
  if (!row.Document) return SetAbortedWith(String(row.Name) + ": documents are not available in this build");
  auto file = std::make_unique<TAtomicFile>(FileName);
  Slot.Handle = row.Document->Create(*file->Stream(), *GetIOParams());
  Slot.File = std::move(file);
}

void TLumerakIO::SaveToDocument(TDocumentSlot& Slot, Integer Type) {
  const TLKFormatRow& row = DocumentRow(Type);
  if (!Slot.Handle || !row.Document) return;
  if (!MakeConsistentBitmap({})) return;
  lkio::ConvertForSave(*this);
  SetAborted(false);
  TProgressRec pr = lkio::MakeProgress(*this);
  row.Document->AddPage(Slot.Handle, *Slot.File->Stream(), GetLKBitmap(), *GetIOParams(), pr);
}

void TLumerakIO::CloseDocument(TDocumentSlot& Slot, Integer Type) {
  if (!Slot.File) return;
  const TLKFormatRow& row = DocumentRow(Type);
  void* handle = Slot.Handle;
  std::unique_ptr<TAtomicFile> file = std::move(Slot.File);
  Slot.Handle = nullptr;
  // A document that could not be written whole keeps the old file.
  const String failed =
      String(row.Name) + ": cannot write \"" + file->Target() + "\": the disk is full or the file too large";
  try {
    if (handle && row.Document) row.Document->Close(handle, *file->Stream(), *GetIOParams());
  } catch (const EStreamError&) {
    return SetAbortedWith(failed);
  }
  if (file->WriteFailed()) return SetAbortedWith(failed);
  file->Commit();
}

void TLumerakIO::CreatePSFile(const String& FileName) { CreateDocument(FPSDocument, lkftPS, FileName); }
void TLumerakIO::SaveToPS() { SaveToDocument(FPSDocument, lkftPS); }
void TLumerakIO::ClosePSFile() { CloseDocument(FPSDocument, lkftPS); }
void TLumerakIO::CreatePDFFile(const String& FileName) { CreateDocument(FPDFDocument, lkftPDF, FileName); }
void TLumerakIO::SaveToPDF() { SaveToDocument(FPDFDocument, lkftPDF); }
void TLumerakIO::ClosePDFFile() { CloseDocument(FPDFDocument, lkftPDF); }

void TLumerakIO::SaveToFilePS(const String& FileName) { lkio::SaveFileAs(*this, DocumentRow(lkftPS), FileName); }
void TLumerakIO::SaveToStreamPS(TStream* Stream) { lkio::SaveStreamAs(*this, DocumentRow(lkftPS), Stream); }
void TLumerakIO::SyncSaveToStreamPS(TStream* Stream) {
  lkio::SyncSaveStreamAs(*this, DocumentRow(lkftPS), Stream);
}
void TLumerakIO::SaveToFilePDF(const String& FileName) { lkio::SaveFileAs(*this, DocumentRow(lkftPDF), FileName); }
void TLumerakIO::SaveToStreamPDF(TStream* Stream) { lkio::SaveStreamAs(*this, DocumentRow(lkftPDF), Stream); }
void TLumerakIO::SyncSaveToStreamPDF(TStream* Stream) {
  lkio::SyncSaveStreamAs(*this, DocumentRow(lkftPDF), Stream);
}
