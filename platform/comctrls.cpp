#include "platform/comctrls.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>
#include <charconv>

namespace {

QString Q(const String& S) { return QString::fromStdString(S); }

}  // namespace

// ---------------------------------------------------------------------------
// TProgressBar
// ---------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* AOwner) : TWidgetControl(AOwner, new QProgressBar()) {
  UseFaceColor();
  static_cast<QProgressBar*>(GetWidget())->setTextVisible(false);
  Sync();
  SetBounds(GetLeft(), GetTop(), 150, 16);
}

void TProgressBar::Sync() {
  auto* p = static_cast<QProgressBar*>(GetWidget());
  p->setRange(FMin, std::max(FMin, FMax));
  p->setValue(FPosition);
}

void TProgressBar::SetMin(Integer Value) {
  FMin = Value;
  FPosition = std::max(FPosition, FMin);
  Sync();
}

void TProgressBar::SetMax(Integer Value) {
  FMax = Value;
  FPosition = std::min(FPosition, std::max(FMin, FMax));
  Sync();
}

void TProgressBar::SetPosition(Integer Value) {
  FPosition = std::clamp(Value, FMin, std::max(FMin, FMax));
  Sync();
}

// ---------------------------------------------------------------------------
// TTrackBar
// ---------------------------------------------------------------------------

TTrackBar::TTrackBar(TComponent* AOwner) : TWidgetControl(AOwner, new QSlider(Qt::Horizontal)) {
  auto* s = static_cast<QSlider*>(GetWidget());
  s->setRange(0, 10);
  UseFaceColor();
  s->setTickPosition(QSlider::TicksBelow);
  s->setTickInterval(1);
  s->setPageStep(2);
  QObject::connect(s, &QSlider::valueChanged, [this](int) {
    if (OnChange) OnChange(this);
  });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 150, 45);
}

Integer TTrackBar::GetMin() const { return static_cast<QSlider*>(GetWidget())->minimum(); }
Integer TTrackBar::GetMax() const { return static_cast<QSlider*>(GetWidget())->maximum(); }
Integer TTrackBar::GetPosition() const { return static_cast<QSlider*>(GetWidget())->value(); }
void TTrackBar::SetMin(Integer Value) { static_cast<QSlider*>(GetWidget())->setMinimum(Value); }
void TTrackBar::SetMax(Integer Value) { static_cast<QSlider*>(GetWidget())->setMaximum(Value); }
void TTrackBar::SetPosition(Integer Value) { static_cast<QSlider*>(GetWidget())->setValue(Value); }
void TTrackBar::SetFrequency(Integer Value) { static_cast<QSlider*>(GetWidget())->setTickInterval(Value); }
void TTrackBar::SetLineSize(Integer Value) { static_cast<QSlider*>(GetWidget())->setSingleStep(Value); }
void TTrackBar::SetPageSize(Integer Value) { static_cast<QSlider*>(GetWidget())->setPageStep(Value); }

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
  FOrientation = Value;
  static_cast<QSlider*>(GetWidget())->setOrientation(Value == trVertical ? Qt::Vertical : Qt::Horizontal);
}

// ---------------------------------------------------------------------------
// TUpDown
// ---------------------------------------------------------------------------

namespace {

/// Two arrow buttons stacked (or side by side).
QWidget* MakeArrows() {
  auto* w = new QWidget();
  auto* layout = new QVBoxLayout(w);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* up = new QToolButton(w);
  up->setArrowType(Qt::UpArrow);
  auto* down = new QToolButton(w);
  down->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up, down}) {
    b->setAutoRepeat(true);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(b);
  }
  return w;
}

}  // namespace

TUpDown::TUpDown(TComponent* AOwner) : TWidgetControl(AOwner, MakeArrows()) {
  const QList<QToolButton*> buttons = GetWidget()->findChildren<QToolButton*>();
  QToolButton* up = buttons.at(0);
  QToolButton* down = buttons.at(1);
  WatchWidget(up);
  WatchWidget(down);
  UseFaceColor();
  QObject::connect(up, &QToolButton::clicked, [this] { ButtonClick(btNext); });
  QObject::connect(down, &QToolButton::clicked, [this] { ButtonClick(btPrev); });
  SetBounds(GetLeft(), GetTop(), 16, 24);
}

TUpDown::~TUpDown() = default;

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TWidgetControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAssociate) FAssociate = nullptr;
}

void TUpDown::SetMin(Integer Value) {
  FMin = Value;
  SetPosition(FPosition);
}

void TUpDown::SetMax(Integer Value) {
  FMax = Value;
  SetPosition(FPosition);
}

void TUpDown::SetPosition(Integer Value) {
  FPosition = std::clamp(Value, std::min(FMin, FMax), std::max(FMin, FMax));
  UpdateAssociate();
}

void TUpDown::UpdateAssociate() {
  if (FAssociate == nullptr) return;
  // Plain digits: an edit limited to 5 characters must read 1000 back.
  FAssociate->SetText(std::to_string(FPosition));
}

void TUpDown::SetAssociate(TWinControl* Value) {
  if (Value == FAssociate) return;
  FAssociate = Value;
  if (Value == nullptr) return;
  Value->FreeNotification(this);
  // The up-down takes the right end of the edit's place.
  const Integer w = GetWidth();
  Value->SetWidth(Value->GetWidth() - w);
  if (GetParent() != Value->GetParent()) SetParent(Value->GetParent());
  SetBounds(Value->GetLeft() + Value->GetWidth(), Value->GetTop(), w, Value->GetHeight());
  UpdateAssociate();
}

void TUpDown::ButtonClick(TUDBtnType Button) {
  if (!GetEnabled()) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  Integer pos = FPosition;
  if (FAssociate != nullptr) {
    // The user may have typed a number into the edit.
    const String text = FAssociate->GetText();
    Integer typed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), typed);
    if (ec == std::errc() && end == text.data() + text.size()) pos = typed;
  }
  const Integer lo = std::min(FMin, FMax), hi = std::max(FMin, FMax);
  Int64 next = static_cast<Int64>(pos) + (Button == btNext ? FIncrement : -FIncrement);
  if (FWrap && next > hi) next = lo;
  if (FWrap && next < lo) next = hi;
  SetPosition(static_cast<Integer>(std::clamp<Int64>(next, lo, hi)));
  if (OnClick) OnClick(this, Button);
}

// ---------------------------------------------------------------------------
// Items of combo boxes and list boxes
// ---------------------------------------------------------------------------

/// The strings of a combo box or list box, kept in the Qt widget (objects
/// beside them). Changes in code send no events.
class TControlItems : public TStrings {
 public:
  TControlItems(QComboBox* Combo, QListWidget* List) : FCombo(Combo), FList(List) {}
  String Get(Integer Index) const override {
    Check(Index);
    return (FCombo != nullptr ? FCombo->itemText(Index) : FList->item(Index)->text()).toStdString();
  }
  Integer GetCount() const override { return FCombo != nullptr ? FCombo->count() : FList->count(); }
  TObject* GetObject(Integer Index) const override {
    Check(Index);
    return FObjects[static_cast<size_t>(Index)];
  }
  void PutObject(Integer Index, TObject* AObject) override {
    Check(Index);
    FObjects[static_cast<size_t>(Index)] = AObject;
  }
  void Put(Integer Index, const String& S) override {
    Check(Index);
    const QSignalBlocker block(Widget());
    if (FCombo != nullptr)
      FCombo->setItemText(Index, Q(S));
    else
      FList->item(Index)->setText(Q(S));
  }
  void Insert(Integer Index, const String& S) override { InsertObject(Index, S, nullptr); }
  void InsertObject(Integer Index, const String& S, TObject* AObject) override {
    if (Index < 0 || Index > GetCount()) ListIndexError(Index);
    const QSignalBlocker block(Widget());
    if (FCombo != nullptr) {
      FCombo->insertItem(Index, Q(S));
    } else {
      auto* item = new QListWidgetItem(Q(S));
      if (FCheckable) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
      }
      FList->insertItem(Index, item);
    }
    FObjects.insert(FObjects.begin() + Index, AObject);
  }
  void Delete(Integer Index) override {
    Check(Index);
    const QSignalBlocker block(Widget());
    if (FCombo != nullptr)
      FCombo->removeItem(Index);
    else
      delete FList->takeItem(Index);
    FObjects.erase(FObjects.begin() + Index);
  }
  void Clear() override {
    const QSignalBlocker block(Widget());
    if (FCombo != nullptr)
      FCombo->clear();
    else
      FList->clear();
    FObjects.clear();
  }
  bool FCheckable = false;

 private:
  QWidget* Widget() const { return FCombo != nullptr ? static_cast<QWidget*>(FCombo) : FList; }
  void Check(Integer Index) const {
    if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  }
  QComboBox* FCombo;
  QListWidget* FList;
  std::vector<TObject*> FObjects;
};

// ---------------------------------------------------------------------------
// TComboBox
// ---------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner)
    : TWidgetControl(AOwner, new QComboBox()),
      FItems(std::make_unique<TControlItems>(static_cast<QComboBox*>(GetWidget()), nullptr)) {
  auto* c = static_cast<QComboBox*>(GetWidget());
  SetStyle(csDropDown);
  c->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(c, &QComboBox::activated, [this, c](int) {
    StoreCaption(c->currentText().toStdString());
    Click();
    Change();
  });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 145, 21);
}

TComboBox::~TComboBox() = default;

TStrings* TComboBox::GetItems() const { return FItems.get(); }

void TComboBox::SetStyle(TComboBoxStyle Value) {
  FStyle = Value;
  auto* c = static_cast<QComboBox*>(GetWidget());
  c->setEditable(Value != csDropDownList);
  if (QLineEdit* edit = c->lineEdit()) {
    WatchWidget(edit);
    QObject::connect(edit, &QLineEdit::textEdited, [this](const QString& Text) {
      StoreCaption(Text.toStdString());
      Change();
    });
  }
}

Integer TComboBox::GetItemIndex() const { return static_cast<QComboBox*>(GetWidget())->currentIndex(); }

void TComboBox::SetItemIndex(Integer Value) {
  auto* c = static_cast<QComboBox*>(GetWidget());
  const QSignalBlocker block(c);
  c->setCurrentIndex(Value >= 0 && Value < c->count() ? Value : -1);
  StoreCaption(c->currentText().toStdString());
}

Integer TComboBox::GetDropDownCount() const { return static_cast<QComboBox*>(GetWidget())->maxVisibleItems(); }
void TComboBox::SetDropDownCount(Integer Value) {
  static_cast<QComboBox*>(GetWidget())->setMaxVisibleItems(std::max(1, Value));
}

void TComboBox::TextChanged() {
  auto* c = static_cast<QComboBox*>(GetWidget());
  const QSignalBlocker block(c);
  const Integer index = c->findText(Q(GetCaption()));
  if (FStyle == csDropDownList) {
    c->setCurrentIndex(index);
    StoreCaption(c->currentText().toStdString());
  } else {
    c->setEditText(Q(GetCaption()));
  }
}

void TComboBox::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
// TListBox and TCheckListBox
// ---------------------------------------------------------------------------

TListBox::TListBox(TComponent* AOwner)
    : TWidgetControl(AOwner, new QListWidget()),
      FItems(std::make_unique<TControlItems>(nullptr, static_cast<QListWidget*>(GetWidget()))) {
  auto* l = static_cast<QListWidget*>(GetWidget());
  WatchWidget(l->viewport());
  QObject::connect(l, &QListWidget::itemSelectionChanged, [this] { Click(); });
  QObject::connect(l, &QListWidget::itemDoubleClicked, [this](QListWidgetItem*) { DblClick(); });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 121, 97);
}

TListBox::~TListBox() = default;

TStrings* TListBox::GetItems() const { return FItems.get(); }

Integer TListBox::GetItemIndex() const { return static_cast<QListWidget*>(GetWidget())->currentRow(); }

void TListBox::SetItemIndex(Integer Value) {
  auto* l = static_cast<QListWidget*>(GetWidget());
  const QSignalBlocker block(l);
  l->setCurrentRow(Value >= 0 && Value < l->count() ? Value : -1);
  if (Value < 0 || Value >= l->count()) l->clearSelection();
}

void TListBox::SetMultiSelect(bool Value) {
  FMultiSelect = Value;
  static_cast<QListWidget*>(GetWidget())
      ->setSelectionMode(Value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

bool TListBox::GetSelected(Integer Index) const {
  auto* l = static_cast<QListWidget*>(GetWidget());
  if (Index < 0 || Index >= l->count()) ListIndexError(Index);
  return l->item(Index)->isSelected();
}

void TListBox::SetSelected(Integer Index, bool Value) {
  auto* l = static_cast<QListWidget*>(GetWidget());
  if (Index < 0 || Index >= l->count()) ListIndexError(Index);
  const QSignalBlocker block(l);
  l->item(Index)->setSelected(Value);
}

Integer TListBox::GetSelCount() const {
  return static_cast<Integer>(static_cast<QListWidget*>(GetWidget())->selectedItems().size());
}

TCheckListBox::TCheckListBox(TComponent* AOwner) : TListBox(AOwner) {
  static_cast<TControlItems*>(GetItems())->FCheckable = true;
  auto* l = static_cast<QListWidget*>(GetWidget());
  QObject::connect(l, &QListWidget::itemChanged, [this](QListWidgetItem*) {
    if (OnClickCheck) OnClickCheck(this);
  });
}

bool TCheckListBox::GetChecked(Integer Index) const {
  auto* l = static_cast<QListWidget*>(GetWidget());
  if (Index < 0 || Index >= l->count()) ListIndexError(Index);
  return l->item(Index)->checkState() == Qt::Checked;
}

void TCheckListBox::SetChecked(Integer Index, bool Value) {
  auto* l = static_cast<QListWidget*>(GetWidget());
  if (Index < 0 || Index >= l->count()) ListIndexError(Index);
  const QSignalBlocker block(l);
  l->item(Index)->setCheckState(Value ? Qt::Checked : Qt::Unchecked);
}

// ---------------------------------------------------------------------------
// TTabSheet and TPageControl
// ---------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls});
  SetColor(clBtnFace);
  SetVisible(false);
  SetAlign(alClient);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (Value == FPageControl) return;
  if (FPageControl != nullptr) FPageControl->RemovePage(this);
  FPageControl = Value;
  SetParent(Value);
  if (Value != nullptr) Value->InsertPage(this);
}

Integer TTabSheet::GetPageIndex() const {
  if (FPageControl == nullptr) return -1;
  auto& pages = FPageControl->FPages;
  return static_cast<Integer>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetTabVisible(bool Value) {
  if (Value == FTabVisible) return;
  FTabVisible = Value;
  if (FPageControl == nullptr) return;
  if (!Value && FPageControl->FActivePage == this) {
    // The next sheet with a tab takes over.
    TTabSheet* next = nullptr;
    for (TTabSheet* s : FPageControl->FPages)
      if (s->FTabVisible && next == nullptr) next = s;
    FPageControl->FActivePage = nullptr;
    FPageControl->SetActivePage(next);
    // The sheet that lost its tab must not stay on show behind (or
    // instead of) the next one.
    SetVisible(false);
  }
  FPageControl->UpdateTabs();
}

void TTabSheet::TextChanged() {
  if (FPageControl != nullptr) FPageControl->UpdateTabs();
}

namespace {

QWidget* MakeTabArea() {
  auto* w = new QWidget();
  auto* bar = new QTabBar(w);
  bar->setDrawBase(false);
  bar->setExpanding(false);
  auto* frame = new QFrame(w);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setObjectName("pageFrame");
  return w;
}

}  // namespace

/// Lets the page control decide on clicks at its tabs.
class TTabClickFilter : public QObject {
 public:
  TTabClickFilter(TPageControl* Control, QTabBar* Bar) : FControl(Control), FBar(Bar) {}
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() != QEvent::MouseButtonPress) return false;
    auto* me = static_cast<QMouseEvent*>(Event);
    if (me->button() != Qt::LeftButton) return false;
    const int tab = FBar->tabAt(me->position().toPoint());
    if (tab >= 0 && tab < FControl->GetPageCount()) FControl->SelectTabByUser(FControl->GetPage(tab));
    return true;
  }

 private:
  TPageControl* FControl;
  QTabBar* FBar;
};

TPageControl::TPageControl(TComponent* AOwner) : TWidgetControl(AOwner, MakeTabArea()) {
  SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls});
  UseFaceColor();
  QTabBar* bar = GetWidget()->findChild<QTabBar*>();
  auto* filter = new TTabClickFilter(this, bar);
  filter->setParent(bar);
  bar->installEventFilter(filter);
  WatchWidget(bar);
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 289, 193);
}

TPageControl::~TPageControl() {
  // The sheets go with the children; they must not call back into a page
  // control that is half gone.
  for (TTabSheet* s : FPages) s->FPageControl = nullptr;
  FPages.clear();
  FActivePage = nullptr;
}

TTabSheet* TPageControl::GetPage(Integer Index) const {
  if (Index < 0 || Index >= GetPageCount()) ListIndexError(Index);
  return FPages[static_cast<size_t>(Index)];
}

Integer TPageControl::GetActivePageIndex() const { return FActivePage != nullptr ? FActivePage->GetPageIndex() : -1; }

void TPageControl::SetActivePageIndex(Integer Value) {
  SetActivePage(Value >= 0 && Value < GetPageCount() ? FPages[static_cast<size_t>(Value)] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* Value) {
  if (Value != nullptr && (Value->FPageControl != this || !Value->FTabVisible)) return;
  if (Value == FActivePage) return;
  TTabSheet* old = FActivePage;
  FActivePage = Value;
  if (Value != nullptr) Value->SetVisible(true);
  if (old != nullptr) old->SetVisible(false);
  UpdateTabs();
}

bool TPageControl::SelectTabByUser(TTabSheet* Sheet) {
  if (Sheet == FActivePage || !GetEnabled()) return false;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return false;
  SetActivePage(Sheet);
  if (FActivePage != Sheet) return false;
  if (OnChange) OnChange(this);
  return true;
}

void TPageControl::InsertPage(TTabSheet* Sheet) {
  FPages.push_back(Sheet);
  if (FActivePage == nullptr && Sheet->FTabVisible) SetActivePage(Sheet);
  // Only the active sheet shows; a sheet added behind it waits its turn.
  if (Sheet != FActivePage) Sheet->SetVisible(false);
  UpdateTabs();
}

void TPageControl::RemovePage(TTabSheet* Sheet) {
  FPages.erase(std::remove(FPages.begin(), FPages.end(), Sheet), FPages.end());
  if (FActivePage == Sheet) {
    FActivePage = nullptr;
    for (TTabSheet* s : FPages)
      if (s->FTabVisible && FActivePage == nullptr) SetActivePage(s);
  }
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  auto* bar = GetWidget()->findChild<QTabBar*>();
  const QSignalBlocker block(bar);
  while (bar->count() > GetPageCount()) bar->removeTab(bar->count() - 1);
  while (bar->count() < GetPageCount()) bar->addTab(QString());
  for (Integer i = 0; i < GetPageCount(); ++i) {
    bar->setTabText(i, Q(FPages[static_cast<size_t>(i)]->GetCaption()));
    // Only a change goes to the bar: setting a tab's visibility to what it
    // already is clears the bar's note that its layout is due, so tabs
    // hidden while the bar was not on show kept their room.
    const bool visible = FPages[static_cast<size_t>(i)]->FTabVisible;
    if (bar->isTabVisible(i) != visible) bar->setTabVisible(i, visible);
  }
  if (FActivePage != nullptr) bar->setCurrentIndex(FActivePage->GetPageIndex());
  const Integer w = GetWidth(), h = GetHeight();
  bar->setGeometry(0, 0, w, TabHeight);
  if (auto* frame = GetWidget()->findChild<QFrame*>("pageFrame")) frame->setGeometry(0, TabHeight, w, h - TabHeight);
}

void TPageControl::AdjustClientRect(TRect& Rect) {
  UpdateTabs();
  Rect = TRect{Rect.Left + 4, Rect.Top + TabHeight + 4, Rect.Right - 4, Rect.Bottom - 4};
}
