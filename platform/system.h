// Base of the platform layer: the root object class, the string type and the
// exception classes every other unit raises.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

/// Integer types with the widths that stored formats and records use.
using Byte = std::uint8_t;
using ShortInt = std::int8_t;
using Word = std::uint16_t;
using SmallInt = std::int16_t;
using Integer = std::int32_t;
using Cardinal = std::uint32_t;
using DWORD = std::uint32_t;
using LongWord = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;

/// A point, a size and a rectangle in integer pixels. Rectangles leave out
/// their right and bottom edges, as on the desktop the layer stands in for.
struct TPoint {
  Integer X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};
struct TSize {
  Integer cx = 0, cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};
struct TRect {
  Integer Left = 0, Top = 0, Right = 0, Bottom = 0;
  Integer Width() const { return Right - Left; }
  Integer Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};
inline TPoint Point(Integer x, Integer y) { return TPoint{x, y}; }
inline TRect Rect(Integer l, Integer t, Integer r, Integer b) { return TRect{l, t, r, b}; }

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

/// Event with only the sender, the most common event shape.
using TNotifyEvent = std::function<void(TObject* Sender)>;

/// A colour as the desktop stores it: 0x00BBGGRR, or a negative system-colour
/// code (see platform/graphics.h).
using TColor = Integer;

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
/// A method that a descendant must supply was called on its base.
class EAbstractError : public Exception {
 public:
  explicit EAbstractError(const String& msg = "Abstract Error") : Exception(msg) {}
};
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
