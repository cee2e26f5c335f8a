// Base of the platform layer: the root object class, the string type and the
// exception classes every other unit raises.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

/// Text is UTF-8 inside the program.
using String = std::string;
using AnsiString = std::string;

/// Root of the class hierarchy: a virtual destructor, so any object can be
/// owned and freed through a base pointer.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

/// Frees an object and clears the pointer (no-op on null).
template <typename T>
inline void FreeAndNil(T*& obj) {
  T* p = obj;
  obj = nullptr;
  delete p;
}

/// Base of every exception the layer and the library raise: a message text.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const String& msg) : std::runtime_error(msg) {}
  String Message() const { return what(); }
};

/// Silent exception: stops an operation without an error box.
class EAbort : public Exception {
 public:
  explicit EAbort(const String& msg = "Operation aborted") : Exception(msg) {}
};

class EInvalidGraphic : public Exception { using Exception::Exception; };
class EInvalidOperation : public Exception { using Exception::Exception; };
class EOutOfMemory : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EMathError : public Exception { using Exception::Exception; };
class EInvalidArgument : public EMathError { using EMathError::EMathError; };
class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
class EThread : public Exception { using Exception::Exception; };
