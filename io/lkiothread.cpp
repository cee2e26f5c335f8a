#include "io/lkiothread.h"

#include <cstdio>
#include <utility>

#include "io/lumerakio.h"

namespace {

// The debug output of the workers: one line on standard error.
void DebugOutput(const char* Text) {
  std::fprintf(stderr, "%s\n", Text);
}

}  // namespace

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodTypes Kind)
    : TThread(true), FOwner(Owner), FKind(Kind) {}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodFile Method, const String& FileName)
    : TLKIOThread(Owner, lkLoadSaveFile) {
  FMethodFile = std::move(Method);
  FString = FileName;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodStream Method, TStream* Stream)
    : TLKIOThread(Owner, lkLoadSaveStream) {
  FMethodStream = std::move(Method);
  FStream = Stream;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodFileRetInt Method, const String& FileName)
    : TLKIOThread(Owner, lkLoadSaveFileRetInt) {
  FMethodFileRetInt = std::move(Method);
  FString = FileName;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodRetBool Method) : TLKIOThread(Owner, lkRetBool) {
  FMethodRetBool = std::move(Method);
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodStreamRetInt Method, TStream* Stream)
    : TLKIOThread(Owner, lkLoadSaveStreamRetInt) {
  FMethodStreamRetInt = std::move(Method);
  FStream = Stream;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodFileFormat Method, const String& FileName,
                         Integer FileType)
    : TLKIOThread(Owner, lkLoadSaveFileFormat) {
  FMethodFileFormat = std::move(Method);
  FString = FileName;
  FInt1 = FileType;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodStreamFormat Method, TStream* Stream, Integer FileType)
    : TLKIOThread(Owner, lkLoadSaveStreamFormat) {
  FMethodStreamFormat = std::move(Method);
  FStream = Stream;
  FInt1 = FileType;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodIndex Method, Integer Index)
    : TLKIOThread(Owner, lkLoadSaveIndex) {
  FMethodIndex = std::move(Method);
  FInt1 = Index;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodImportMetaFile Method, const String& FileName,
                         Integer Width, Integer Height, bool WithAlpha)
    : TLKIOThread(Owner, lkImportMetaFile) {
  FMethodImportMetaFile = std::move(Method);
  FString = FileName;
  FInt1 = Width;
  FInt2 = Height;
  FBool = WithAlpha;
  ListAndStart();
}

TLKIOThread::TLKIOThread(TLumerakIO* Owner, TLKIOMethodURL Method, const String& URL, double)
    : TLKIOThread(Owner, lkLoadFromURL) {
  FMethodURL = std::move(Method);
  FString = URL;
  ListAndStart();
}

void TLKIOThread::ListAndStart() {
  FOwner->AddThread(this);
  try {
    Start();
  } catch (...) {
    FOwner->RemoveThread(this);
    throw;
  }
}

void TLKIOThread::CallMethod() {
  switch (FKind) {
    case lkLoadSaveFile:
      if (FMethodFile) FMethodFile(FString);
      break;
    case lkLoadSaveStream:
      if (FMethodStream) FMethodStream(FStream);
      break;
    case lkLoadSaveFileRetInt:
      if (FMethodFileRetInt) FMethodFileRetInt(FString);
      break;
    case lkRetBool:
      if (FMethodRetBool) FMethodRetBool();
      break;
    case lkLoadSaveStreamRetInt:
      if (FMethodStreamRetInt) FMethodStreamRetInt(FStream);
      break;
    case lkLoadSaveFileFormat:
      if (FMethodFileFormat) FMethodFileFormat(FString, FInt1);
      break;
    case lkLoadSaveStreamFormat:
      if (FMethodStreamFormat) FMethodStreamFormat(FStream, FInt1);
      break;
    case lkLoadSaveIndex:
      if (FMethodIndex) FMethodIndex(FInt1);
      break;
    case lkImportMetaFile:
      if (FMethodImportMetaFile) FMethodImportMetaFile(FString, FInt1, FInt2, FBool);
      break;
    case lkLoadFromURL:
      if (FMethodURL) FMethodURL(FString);
      break;
    case lkCaptureFromScreen:
    case lkAcquire:
      break;
  }
}

void TLKIOThread::Execute() {
  // Recorded before the call, so that the call finds itself on a worker.
  FRunningID.store(GetCurrentThreadId(), std::memory_order_release);
  try {
    CallMethod();
  } catch (...) {
    DebugOutput("Exception in TLKIOThread.Execute");
    FOwner->SetAborted(true);
  }
  SetFreeOnTerminate(true);
  // The last touch of the owner: once off the list, the owner may be gone.
  FOwner->RemoveThread(this);
}
