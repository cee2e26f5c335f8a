// The scanner and camera object over scripted devices (a manager whose
// devices record every call and answer from a script), over cameras given
// as scripted storage, and over SANE's test device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "acquisition/imscan.h"
#include "acquisition/lktwsane.h"
#include "acquisition/lkwia.h"
#include "acquisition/lkwiasystem.h"
#include "codecs/jpeg/jpegfilt.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/threads.h"
#include "platform/treeview.h"
#include "tests/acquisition/wia_kit.h"

namespace {

const bool kConfigured = [] {
  setenv("SANE_CONFIG_DIR", LUMERAK_TESTS_DIR "/acquisition/sane", 0);
  return true;
}();

using namespace wiakit;

// One page a scripted item sends: its format and bytes.
struct TPage {
  TLKGuid Format;
  std::vector<Byte> Data;
};

// A raw callback message of a script: message, length, bytes.
struct TRaw {
  Integer Message;
  Integer Length;
  std::vector<Byte> Bytes;
};

class TFakeItem : public TLKWiaDeviceItem {
 public:
  TFakeItem(std::shared_ptr<TLog> Log, String Name, Cardinal Flags) : Log(std::move(Log)), Name(std::move(Name)), Flags(Flags) {
    Props[WIA_IPA_ITEM_NAME] = this->Name;
  }
  bool GetItemType(Cardinal& F) override { F = Flags; return true; }
  bool EnumChildItems(std::vector<std::shared_ptr<TLKWiaDeviceItem>>& C) override {
    C.assign(Kids.begin(), Kids.end());
    return true;
  }
  bool ReadProperty(Cardinal Id, TLKWiaVariant& V) override {
    auto It = Props.find(Id);
    if (It == Props.end()) return false;
    V = It->second;
    return true;
  }
  bool WriteProperty(Cardinal Id, const TLKWiaVariant& V) override {
    std::string T = std::holds_alternative<TLKGuid>(V) ? "guid " + std::get<TLKGuid>(V).ToText()
                    : std::holds_alternative<Integer>(V) ? "int " + std::to_string(std::get<Integer>(V))
                    : std::holds_alternative<String>(V) ? "text " + std::get<String>(V)
                                                        : "other";
    Log->push_back(Name + " write " + std::to_string(Id) + " " + T);
    if (Id == WIA_IPA_TYMED && RefuseMultiPage && V == TLKWiaVariant(TYMED_MULTIPAGE_CALLBACK)) return false;
    Props[Id] = V;
    return true;
  }
  bool GetPropertyAttributes(Cardinal Id, Cardinal& F, TLKWiaVariant& V) override {
    auto It = Attributes.find(Id);
    if (It == Attributes.end()) return false;
    F = It->second.first;
    V = It->second.second;
    return true;
  }
  bool DeviceCommand(const TLKGuid& Cmd, std::shared_ptr<TLKWiaDeviceItem>& New) override {
    Log->push_back(Name + (Cmd == WIA_CMD_TAKE_PICTURE ? " take-picture" : Cmd == WIA_CMD_SYNCHRONIZE ? " synchronize" : " command"));
    if (Cmd == WIA_CMD_TAKE_PICTURE && OnTakePicture) return OnTakePicture(New);
    return false;
  }
  bool DeleteItem() override {
    Log->push_back(Name + " delete");
    Flags |= WiaItemTypeDeleted;
    return true;
  }
  bool CanTransfer() override { return (Flags & WiaItemTypeImage) != 0; }
  Integer GetBandedData(const TLKWiaBandedData& R) override {
    Log->push_back(Name + " transfer");
    if (!Raw.empty()) {
      for (const TRaw& M : Raw)
        if (R(M.Message, 0, 50, 0, M.Length, M.Bytes.empty() ? nullptr : M.Bytes.data()) != LK_S_OK) return LK_S_FALSE;
      return LK_S_OK;
    }
    for (size_t p = 0; p < Pages.size(); ++p) {
      TLKWiaDataHeader H;
      H.guidFormatID = Pages[p].Format;
      if (R(IT_MSG_DATA_HEADER, 0, 0, 0, sizeof H, reinterpret_cast<const Byte*>(&H)) != LK_S_OK) return LK_S_FALSE;
      const auto& D = Pages[p].Data;
      for (size_t At = 0; At < D.size(); At += 100) {
        const size_t N = std::min<size_t>(100, D.size() - At);
        if (R(IT_MSG_DATA, 0, Integer((p * 100 + (At + N) * 100 / D.size()) / Pages.size()), Integer(At), Integer(N),
              D.data() + At) != LK_S_OK)
          return LK_S_FALSE;
      }
      if (R(p + 1 < Pages.size() ? IT_MSG_NEW_PAGE : IT_MSG_TERMINATION, 0, 100, 0, 0, nullptr) != LK_S_OK)
        return LK_S_FALSE;
    }
    return LK_S_OK;
  }

  std::shared_ptr<TLog> Log;
  String Name;
  Cardinal Flags;
  std::map<Cardinal, TLKWiaVariant> Props;
  std::map<Cardinal, std::pair<Cardinal, TLKWiaVariant>> Attributes;
  std::vector<std::shared_ptr<TFakeItem>> Kids;
  std::vector<TPage> Pages;
  std::vector<TRaw> Raw;
  bool RefuseMultiPage = false;
  std::function<bool(std::shared_ptr<TLKWiaDeviceItem>&)> OnTakePicture;
};


// A 4x3 picture with distinct pixels, as top-down RGB rows.
std::vector<Byte> Pattern(Byte Seed) {
  std::vector<Byte> P(4 * 3 * 3);
  for (size_t i = 0; i < P.size(); ++i) P[i] = Byte(Seed + i * 7);
  return P;
}

// The pixel (red, green, blue) of a 24-bit bitmap.
std::array<Byte, 3> Rgb(TLKBitmap& B, int x, int y) {
  const Byte* Row = static_cast<const Byte*>(B.GetScanLine(y));
  return {Row[x * 3 + 2], Row[x * 3 + 1], Row[x * 3]};
}

void ExpectPattern(TLKBitmap& B, Byte Seed) {
  ASSERT_EQ(B.GetWidth(), 4);
  ASSERT_EQ(B.GetHeight(), 3);
  const auto P = Pattern(Seed);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const size_t i = size_t(y * 4 + x) * 3;
      EXPECT_EQ(Rgb(B, x, y), (std::array<Byte, 3>{P[i], P[i + 1], P[i + 2]})) << x << "," << y;
    }
}

TPage BitmapPage(Byte Seed, Integer Dpi = 150) {
  return {WiaImgFmt_MEMORYBMP, LKWiaMakeMemoryBitmap(4, 3, 3, Dpi, Pattern(Seed))};
}


// A scanner: root with one image item "Scan".
struct TScanner {
  std::shared_ptr<TFakeManager> M = std::make_shared<TFakeManager>();
  std::shared_ptr<TFakeItem> Root, Scan;
  TScanner() {
    Root = std::make_shared<TFakeItem>(M->Log, "root", WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice);
    Scan = std::make_shared<TFakeItem>(M->Log, "scan", WiaItemTypeImage | WiaItemTypeFile);
    Root->Kids.push_back(Scan);
    TLKWiaDeviceProperties D;
    D.Id = "dev0";
    D.Name = "Flatbed";
    M->Devices.push_back(D);
    M->Roots["dev0"] = Root;
  }
};

}  // namespace

TEST(Wia, WithoutTheServiceEverythingAnswersEmpty) {
  TManagerScope Scope(nullptr);
  TLKWia W(nullptr);
  EXPECT_FALSE(W.Available());
  EXPECT_FALSE(W.Transfer(nullptr, false));
  EXPECT_FALSE(W.GetLastError().empty());
  EXPECT_EQ(W.GetDevicesInfoCount(), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(W.GetDeviceProperty(WIA_DIP_DEV_NAME)));
}

TEST(Wia, KindsAndCaptions) {
  TLKWiaItem Item;
  auto Log = std::make_shared<TLog>();
  auto Fake = std::make_shared<TFakeItem>(Log, "Camera", WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice);
  Item.ItemInterface = Fake;
  Item.Kinds = WiaItemTypeToSet(WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice | 0x20000);
  // The pass-through kind and the mask add no word.
  EXPECT_TRUE(Item.Kinds.Contains(witTwainCapabilityPassThrough));
  EXPECT_TRUE(Item.Kinds.Contains(witMask));
  EXPECT_FALSE(Item.Kinds.Contains(witFree));
  EXPECT_EQ(WiaItemCaption(&Item, true), "Camera (  Folder Root Device )");
  EXPECT_EQ(WiaItemCaption(&Item, false), "Camera");
  EXPECT_TRUE(WiaItemTypeToSet(WiaItemTypeRemoved).Contains(witRemoved));
}

TEST(Wia, ConnectingListsTheTreeAndPropertiesKeepTheirShape) {
  TScanner S;
  TManagerScope Scope(S.M);
  TLKWia W(nullptr);
  // Counting devices connects to the first one on the way.
  EXPECT_EQ(W.GetDevicesInfoCount(), 1);
  ASSERT_NE(W.GetRoot(), nullptr);
  EXPECT_EQ(std::count(S.M->Log->begin(), S.M->Log->end(), "create dev0"), 1);
  ASSERT_EQ(W.GetRoot()->SubItems.size(), 1u);
  EXPECT_TRUE(W.GetRoot()->SubItems[0]->Kinds.Contains(witImage));
  EXPECT_EQ(W.GetDevicesInfo(0)->DeviceType, lkwScanner);
  EXPECT_EQ(W.GetDevicesInfo(1), nullptr);

  struct {
    TLKWiaVariant Value;
    std::string Logged;
  } Rows[] = {
      {String("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}"), "guid {B96B3CAE-0728-11D3-9D7B-0000F81EF32E}"},
      {String("B96B3CAE-0728-11D3-9D7B-0000F81EF32E"), "text B96B3CAE-0728-11D3-9D7B-0000F81EF32E"},
      {Integer(300), "int 300"},
  };
  for (const auto& R : Rows) {
    S.M->Log->clear();
    EXPECT_TRUE(W.SetItemProperty(WIA_IPS_XRES, R.Value, nullptr));
    ASSERT_FALSE(S.M->Log->empty());
    EXPECT_EQ(S.M->Log->back(), "scan write 6147 " + R.Logged);
  }
  // An identifier reads back as its braced text.
  W.SetItemProperty(WIA_IPA_FORMAT, String("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}"), nullptr);
  EXPECT_EQ(std::get<String>(W.GetItemProperty(WIA_IPA_FORMAT, nullptr)), "{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");

  // Allowed values: a list that claims more values than it holds is held
  // to what is there; a range fills its four values.
  S.Scan->Attributes[1] = {WIA_PROP_READ | WIA_PROP_LIST, std::vector<Integer>{10, 150, 75, 150, 300}};
  S.Scan->Attributes[2] = {WIA_PROP_RANGE | WIA_PROP_CACHEABLE, std::vector<Integer>{50, 100, 1200, 25}};
  TLKWiaAttrib A;
  std::unique_ptr<TLKWiaValues> V;
  W.GetItemPropertyAttrib(1, nullptr, A, V);
  EXPECT_TRUE(A.Contains(lkwaList) && A.Contains(lkwaRead) && !A.Contains(lkwaWrite));
  EXPECT_EQ(V->Count, 3);
  EXPECT_EQ(std::get<Integer>(V->GetValues(2)), 300);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(V->GetValues(3)));
  W.GetItemPropertyAttrib(2, nullptr, A, V);
  EXPECT_TRUE(A.Contains(lkwaRange) && A.Contains(lkwaCacheable));
  EXPECT_EQ(std::get<Integer>(V->RangeMin), 50);
  EXPECT_EQ(std::get<Integer>(V->Nominal), 100);
  EXPECT_EQ(std::get<Integer>(V->RangeMax), 1200);
  EXPECT_EQ(std::get<Integer>(V->RangeStep), 25);
  W.GetItemPropertyAttrib(99, nullptr, A, V);
  ASSERT_NE(V, nullptr);
  EXPECT_TRUE(A.Empty());
}

TEST(Wia, ScannerTransferAsksForAPictureThenTakesTheImageItem) {
  TScanner S;
  S.Scan->Pages = {BitmapPage(10, 200)};
  TManagerScope Scope(S.M);
  TLumerakIO IO(nullptr);
  TLKWia W(&IO);
  TLKBitmap B;
  W.TargetBitmap = &B;
  W.ImageFormat = lktfBitmap;
  ASSERT_TRUE(W.CaptureOnTransfer);
  ASSERT_TRUE(W.Transfer(nullptr, false)) << W.GetLastError();
  ExpectPattern(B, 10);
  const TLog Want = {"root take-picture", "scan write 4108 int 128",
                     "scan write 4106 guid " + WiaImgFmt_MEMORYBMP.ToText(), "scan transfer"};
  TLog Got(S.M->Log->end() - 4, S.M->Log->end());
  EXPECT_EQ(Got, Want);
  EXPECT_EQ(W.PageInfo.DPIX, 200);
  EXPECT_EQ(IO.GetIOParams()->DPIX, 200);
  EXPECT_EQ(IO.GetIOParams()->WIDTH, 4);
}

TEST(Wia, MultiPageTransferDecodesEachPageFromItsOwnData) {
  TScanner S;
  S.Scan->Pages = {BitmapPage(10), BitmapPage(90), BitmapPage(170)};
  TManagerScope Scope(S.M);
  TLKWia W(nullptr);
  std::vector<Byte> Seeds = {10, 90, 170};
  size_t Page = 0;
  TIOParamsVals Record;
  W.OnPage = [&](TLKBitmap* B, TObject*& Params) {
    ASSERT_LT(Page, Seeds.size());
    ExpectPattern(*B, Seeds[Page++]);
    Params = &Record;
  };
  ASSERT_TRUE(W.Transfer(nullptr, true));
  EXPECT_EQ(Page, 3u);
  EXPECT_EQ(Record.WIDTH, 4);
  EXPECT_NE(std::find(S.M->Log->begin(), S.M->Log->end(), "scan write 4108 int 512"), S.M->Log->end());

  // A device that refuses multi-page transfers is asked for a single one.
  S.Scan->RefuseMultiPage = true;
  S.M->Log->clear();
  Page = 0;
  ASSERT_TRUE(W.Transfer(nullptr, true));
  EXPECT_NE(std::find(S.M->Log->begin(), S.M->Log->end(), "scan write 4108 int 128"), S.M->Log->end());
}

TEST(Wia, ProgressAnsweringFalseStopsAfterThePagesDelivered) {
  TScanner S;
  S.Scan->Pages = {BitmapPage(10), BitmapPage(90)};
  TManagerScope Scope(S.M);
  TLKWia W(nullptr);
  int Pages = 0;
  W.OnPage = [&](TLKBitmap*, TObject*&) { ++Pages; };
  W.OnTransferProgress = [&](Integer) { return Pages == 0; };
  EXPECT_FALSE(W.Transfer(nullptr, true));
  EXPECT_EQ(Pages, 1);
  EXPECT_EQ(W.GetLastError(), "the transfer was stopped");
}

TEST(Wia, HostileDevicesGiveAClearErrorAndNoPage) {
  TLKWiaDataHeader H;
  H.guidFormatID = WiaImgFmt_MEMORYBMP;
  const std::vector<Byte> HeaderBytes(reinterpret_cast<const Byte*>(&H), reinterpret_cast<const Byte*>(&H) + sizeof H);
  const auto Good = BitmapPage(10).Data;
  TLKWiaDataHeader J;
  J.guidFormatID = WiaImgFmt_JPEG;
  const std::vector<Byte> JpegHeader(reinterpret_cast<const Byte*>(&J), reinterpret_cast<const Byte*>(&J) + sizeof J);
  struct {
    const char* Fault;
    std::vector<TRaw> Script;
  } Rows[] = {
      // a band with a negative length
      {"impossible length", {{IT_MSG_DATA_HEADER, 28, HeaderBytes}, {IT_MSG_DATA, -5, {1}}, {IT_MSG_TERMINATION, 0, {}}}},
      // a header shorter than 28 bytes
      {"short data header", {{IT_MSG_DATA_HEADER, 10, std::vector<Byte>(10)}, {IT_MSG_TERMINATION, 0, {}}}},
      // a memory bitmap cut in half
      {"could not be read",
       {{IT_MSG_DATA_HEADER, 28, HeaderBytes},
        {IT_MSG_DATA, Integer(Good.size() / 2), std::vector<Byte>(Good.begin(), Good.begin() + Good.size() / 2)},
        {IT_MSG_TERMINATION, 0, {}}}},
      // a JPEG page holding noise
      {"could not be read",
       {{IT_MSG_DATA_HEADER, 28, JpegHeader}, {IT_MSG_DATA, 64, std::vector<Byte>(64, 0x5A)}, {IT_MSG_TERMINATION, 0, {}}}},
      // a transfer that ends without a page
      {"no picture", {{IT_MSG_TERMINATION, 0, {}}}},
  };
  for (const auto& R : Rows) {
    TScanner S;
    S.Scan->Raw = R.Script;
    TManagerScope Scope(S.M);
    TLKWia W(nullptr);
    int Pages = 0;
    W.OnPage = [&](TLKBitmap*, TObject*&) { ++Pages; };
    EXPECT_FALSE(W.Transfer(nullptr, false)) << R.Fault;
    EXPECT_EQ(Pages, 0) << R.Fault;
    EXPECT_NE(W.GetLastError().find(R.Fault), String::npos) << W.GetLastError();
  }

  // More data than one picture may take stops the device.
  TScanner S;
  S.Scan->Pages = {BitmapPage(10)};
  TManagerScope Scope(S.M);
  LKSetAllocationLimit(50);
  TLKWia W(nullptr);
  EXPECT_FALSE(W.Transfer(nullptr, false));
  LKSetAllocationLimit(0);
  EXPECT_NE(W.GetLastError().find("more data"), String::npos);
}

TEST(Wia, TheComponentKeepsItsPictureWhenATransferFails) {
  TScanner S;
  S.Scan->Raw = {{IT_MSG_DATA_HEADER, 28, std::vector<Byte>(28, 0)}, {IT_MSG_TERMINATION, 0, {}}};
  TManagerScope Scope(S.M);
  TLumerakIO IO(nullptr);
  IO.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  EXPECT_FALSE(IO.Acquire(lkaWIA));
  EXPECT_TRUE(IO.GetAborted());
  EXPECT_NE(IO.GetAbortReason().find("format"), String::npos) << IO.GetAbortReason();
  EXPECT_EQ(IO.GetLKBitmap()->GetWidth(), 2);

  S.Scan->Raw.clear();
  S.Scan->Pages = {BitmapPage(30, 300)};
  ASSERT_TRUE(IO.Acquire(lkaWIA)) << IO.GetAbortReason();
  EXPECT_FALSE(IO.GetAborted());
  ExpectPattern(*IO.GetLKBitmap(), 30);
  EXPECT_EQ(IO.GetIOParams()->DPIX, 300);
}

// ---------------------------------------------------------------------------
// Cameras

TEST(WiaCamera, TreeThumbnailsAndTransfersOfStoredPictures) {
  TCameraRig R;
  TManagerScope Scope(R.M);
  TLumerakIO IO(nullptr);
  TLKWia W(&IO);
  ASSERT_TRUE(W.ConnectTo(0));
  EXPECT_FALSE(W.CaptureOnTransfer);  // a camera transfers what it holds
  ASSERT_EQ(W.GetRoot()->SubItems.size(), 1u);
  TLKWiaItem* Store = W.GetRoot()->SubItems[0].get();
  EXPECT_TRUE(Store->Kinds.Contains(witFolder));
  ASSERT_EQ(Store->SubItems.size(), 2u);
  TLKWiaItem *First = nullptr, *Last = nullptr;
  ASSERT_TRUE(W.GetDefaultItem(First, false));
  ASSERT_TRUE(W.GetDefaultItem(Last, true));
  EXPECT_EQ(WiaItemCaption(First, false), "a.jpg");
  EXPECT_EQ(WiaItemCaption(Last, true), "b.jpg (  Image File )");

  // The preview arrives bottom row first and comes out the right way up.
  TLKBitmap Thumb;
  ASSERT_TRUE(W.GetItemThumbnail(First, &Thumb));
  EXPECT_EQ(Thumb.GetWidth(), 4);
  EXPECT_EQ(Thumb.GetHeight(), 2);
  EXPECT_NEAR(Rgb(Thumb, 0, 0)[0], 40, 3);
  EXPECT_FALSE(W.GetItemThumbnail(Last, &Thumb));  // no preview stored

  // A JPEG page's whole parameters reach the component.
  TLKBitmap B;
  W.TargetBitmap = &B;
  IO.GetIOParams()->JPEG_COLORSPACE = ioJPEG_GRAYLEV;
  ASSERT_TRUE(W.Transfer(Last, false)) << W.GetLastError();
  EXPECT_EQ(B.GetWidth(), 8);
  EXPECT_NEAR(Rgb(B, 3, 2)[1], 120, 3);
  EXPECT_EQ(IO.GetIOParams()->DPIX, 300);
  EXPECT_EQ(IO.GetIOParams()->JPEG_COLORSPACE, ioJPEG_YCbCr);

  TTreeView View(nullptr);
  TTreeNodes& Nodes = *View.GetItems();
  W.FillTreeView(&Nodes, false);
  ASSERT_EQ(Nodes.GetRootCount(), 1);
  TTreeNode* Top = Nodes.GetFirstNode();
  EXPECT_EQ(Top->GetData(), W.GetRoot());
  ASSERT_EQ(Top->GetCount(), 1);
  EXPECT_EQ(Top->GetItem(0)->GetCount(), 2);
}

TEST(WiaCamera, TakingAPictureTransfersAndDeletesTheNewItem) {
  TCameraRig R;
  TManagerScope Scope(R.M);
  TLKWia W(nullptr);
  ASSERT_TRUE(W.ConnectTo(0));
  int Changes = 0;
  W.OnTreeChanged = [&](TObject*) { ++Changes; };
  W.CaptureOnTransfer = true;
  W.DeleteCapturedPicture = true;
  TLKBitmap B;
  W.TargetBitmap = &B;
  ASSERT_TRUE(W.Transfer(nullptr, false)) << W.GetLastError();
  EXPECT_EQ(B.GetWidth(), 16);
  const std::vector<std::string> Want = {"capture", "get /store/new.jpg", "delete /store/new.jpg"};
  EXPECT_EQ(R.Camera->Log, Want);
  EXPECT_NE(W.GetLatestEvent(), lkeNone);
  // The device events reach OnTreeChanged on the main thread.
  CheckSynchronize();
  EXPECT_EQ(Changes, 2);
}

TEST(WiaCamera, AFileThatIsNoPictureIsRefused) {
  TCameraRig R;
  R.Camera->Files["/store"]["a.jpg"].first = std::vector<Byte>(50, 7);
  TManagerScope Scope(R.M);
  TLKWia W(nullptr);
  TLKBitmap B;
  W.TargetBitmap = &B;
  EXPECT_FALSE(W.Transfer(nullptr, false));
  EXPECT_NE(W.GetLastError().find("not a picture"), String::npos) << W.GetLastError();
}

// ---------------------------------------------------------------------------
// SANE's test device through the system's manager

namespace {

// The same options for every scan: the test device keeps its options from
// one opening to the next within a process.
void TestDeviceOptions(const char* Source) {
  LKSaneSetExtraOptions({{"test-picture", "Color pattern"},
                         {"hand-scanner", "no"},
                         {"source", Source},
                         {"tl-x", "0"},
                         {"tl-y", "0"},
                         {"br-x", "40"},
                         {"br-y", "30"},
                         {"resolution", "50"},
                         {"mode", "Color"},
                         {"depth", "8"}});
}

// The scanners of the system's manager alone (its cameras would start
// libgphoto2's USB probing, whose drivers keep memory past their unloading).
class TSaneOnly : public TLKWiaManager {
 public:
  bool EnumDevices(std::vector<TLKWiaDeviceProperties>& D) override {
    D.clear();
    LKWiaSaneDevices(D);
    return true;
  }
  std::shared_ptr<TLKWiaDeviceItem> CreateDevice(const String& Id) override {
    return Id.rfind("sane:", 0) == 0 ? LKWiaSaneDevice(Id.substr(5)) : nullptr;
  }
};

}  // namespace

TEST(WiaSane, ScansTheSamePixelsAsTheScannerRoad) {
  TestDeviceOptions("Flatbed");
  TManagerScope Scope(std::make_shared<TSaneOnly>());
  TLKWia W(nullptr);
  ASSERT_GT(W.GetDevicesInfoCount(), 0) << "SANE lists no test device";
  EXPECT_EQ(W.GetDevicesInfo(0)->DeviceType, lkwScanner);
  TLKBitmap Wia;
  W.TargetBitmap = &Wia;
  ASSERT_TRUE(W.Transfer(nullptr, false)) << W.GetLastError();

  TLKTWainParams Settings(nullptr);
  TLKBitmap Twain;
  TIOParamsVals P;
  TProgressRec Pr;
  ASSERT_TRUE(LKTW_Acquire(&Twain, false, nullptr, Settings, &P, &Pr, Settings.Shared(), nullptr, false));
  ASSERT_EQ(Wia.GetWidth(), Twain.GetWidth());
  ASSERT_EQ(Wia.GetHeight(), Twain.GetHeight());
  ASSERT_EQ(Wia.GetPixelFormat(), lk24RGB);
  for (Integer y = 0; y < Wia.GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(Wia.GetScanLine(y), Twain.GetScanLine(y), size_t(Wia.GetWidth()) * 3), 0) << "row " << y;
  EXPECT_EQ(W.PageInfo.DPIX, 50);
  LKSaneSetExtraOptions({});
}

TEST(WiaSane, TheFeederGivesEveryPageOrTheNumberAsked) {
  TestDeviceOptions("Automatic Document Feeder");
  TManagerScope Scope(std::make_shared<TSaneOnly>());
  TLKWia W(nullptr);
  ASSERT_TRUE(W.ConnectTo(0));
  ASSERT_TRUE(W.SetDeviceProperty(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER));
  for (Integer Asked : {3, 0}) {
    ASSERT_TRUE(W.SetDeviceProperty(WIA_DPS_PAGES, Asked));
    int Pages = 0;
    W.OnPage = [&](TLKBitmap* B, TObject*&) {
      ++Pages;
      EXPECT_GT(B->GetWidth(), 0);
    };
    ASSERT_TRUE(W.Transfer(nullptr, true)) << W.GetLastError();
    EXPECT_EQ(Pages, Asked == 0 ? 10 : 3);
  }
  LKSaneSetExtraOptions({});
}
