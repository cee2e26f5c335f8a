#include "platform/cursors.h"

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <map>

namespace {

std::map<String, TCursorResource>& Resources() {
  static std::map<String, TCursorResource> map;
  static bool builtin = false;
  if (!builtin) {
    builtin = true;
    RegisterBuiltinCursorResources();
  }
  return map;
}

std::map<TCursor, TCursorResource>& ScreenCursors() {
  static std::map<TCursor, TCursorResource> map;
  return map;
}

TCursor gOverride = crDefault;

std::optional<Qt::CursorShape> StandardShape(TCursor Id) {
  switch (Id) {
    case crDefault:
    case crArrow: return Qt::ArrowCursor;
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: return std::nullopt;
  }
}

QCursor MakeCursor(TCursor Id) {
  if (auto shape = StandardShape(Id)) return QCursor(*shape);
  const TCursorResource* res = GetScreenCursor(Id);
  if (res == nullptr) return QCursor(Qt::ArrowCursor);
  const TCursorImage& img = res->Shown();
  if (img.Width <= 0 || img.Height <= 0 || img.Pixels.size() != size_t(img.Width) * size_t(img.Height))
    return QCursor(Qt::ArrowCursor);
  QImage q(reinterpret_cast<const uchar*>(img.Pixels.data()), img.Width, img.Height, img.Width * 4,
           QImage::Format_ARGB32);
  return QCursor(QPixmap::fromImage(q.copy()), img.HotSpot.X, img.HotSpot.Y);
}

}  // namespace

void RegisterCursorResource(const String& Name, TCursorResource Resource) { Resources()[Name] = std::move(Resource); }

const TCursorResource* FindCursorResource(const String& Name) {
  auto it = Resources().find(Name);
  return it == Resources().end() ? nullptr : &it->second;
}

bool LoadScreenCursor(TCursor Id, const String& Name) {
  const TCursorResource* res = FindCursorResource(Name);
  if (res == nullptr) return false;
  ScreenCursors()[Id] = *res;
  return true;
}

const TCursorResource* GetScreenCursor(TCursor Id) {
  auto it = ScreenCursors().find(Id);
  return it == ScreenCursors().end() ? nullptr : &it->second;
}

void ApplyCursor(QWidget* Widget, TCursor Id) {
  if (Id == crDefault)
    Widget->unsetCursor();
  else
    Widget->setCursor(MakeCursor(Id));
}

void SetOverrideCursor(TCursor Id) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  if (gOverride != crDefault) QApplication::restoreOverrideCursor();
  gOverride = Id;
  if (Id != crDefault) QApplication::setOverrideCursor(MakeCursor(Id));
}
