#include "platform/stdctrls.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "platform/forms.h"
#include "platform/inputrouter.h"

namespace {

/// Hands a wrapped widget's input to its control first.
class TWidgetFilter : public QObject {
 public:
  explicit TWidgetFilter(TControl* Control) : FControl(Control) {}
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    auto* w = qobject_cast<QWidget*>(Watched);
    return w != nullptr && TInputRouter::Route(FControl, w, Event);
  }

 private:
  TControl* FControl;
};

QString Q(const String& S) { return QString::fromStdString(S); }

QColor Q(TColor Color) {
  const TColor c = ColorToRGB(Color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

/// A group box drawn as the desktop's: its inside left in the box's own
/// colour, which its control fills in beneath (the style's frame would tint
/// it, and the controls placed on it, which fill with that colour, would
/// stand out as lighter patches), an etched frame from the middle of the
/// caption line down, and the caption over a gap in the frame's top edge.
class TEtchedGroupBox : public QGroupBox {
 public:
  explicit TEtchedGroupBox(const TControl* Box) : FBox(Box) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QColor face = Q(FBox->GetColor());
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QRect frame = rect().adjusted(0, top, -1, -1);
    p.setPen(Q(clBtnShadow));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.setPen(Q(clBtnHighlight));
    p.drawLine(frame.left() + 1, frame.top() + 1, frame.right() - 2, frame.top() + 1);
    p.drawLine(frame.left() + 1, frame.top() + 1, frame.left() + 1, frame.bottom() - 2);
    p.drawLine(frame.left(), frame.bottom(), frame.right(), frame.bottom());
    p.drawLine(frame.right(), frame.top(), frame.right(), frame.bottom());
    if (title().isEmpty()) return;
    const QRect caption(8, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    p.fillRect(caption, face);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.setFont(font());
    p.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
  }

 private:
  const TControl* FBox;
};

}  // namespace

// ---------------------------------------------------------------------------
// TWidgetControl
// ---------------------------------------------------------------------------

TWidgetControl::TWidgetControl(TComponent* AOwner, QWidget* Widget)
    : TWinControl(AOwner), FWidget(Widget), FFilter(new TWidgetFilter(this)) {
  // Clicks come from the widget's own signals, not from mouse messages;
  // the widget holds the pointer itself while a button is down (its pop-up
  // may take the release, so the control must not keep a capture).
  SetControlStyle(GetControlStyle() - TControlStyle{csClickEvents, csCaptureMouse});
  FWidget->setParent(GetPeer());
  FWidget->lower();
  FWidget->setMouseTracking(true);
  FWidget->show();
  WatchWidget(FWidget);
  HandleNeeded();
}

TWidgetControl::~TWidgetControl() {
  FWidget->removeEventFilter(FFilter);
  for (QObject* child : FWidget->findChildren<QWidget*>()) child->removeEventFilter(FFilter);
  delete FFilter;
}

void TWidgetControl::WatchWidget(QWidget* Inner) { Inner->installEventFilter(FFilter); }

void TWidgetControl::ClientResized(Integer NewWidth, Integer NewHeight) {
  FWidget->setGeometry(0, 0, NewWidth, NewHeight);
}

void TWidgetControl::EnabledChanged() { FWidget->setEnabled(GetEnabled()); }

void TWidgetControl::TextChanged() {}

void TWidgetControl::AsSetter(const std::function<void()>& Proc) {
  ++FSetterLevel;
  try {
    Proc();
  } catch (...) {
    --FSetterLevel;
    throw;
  }
  --FSetterLevel;
}

// ---------------------------------------------------------------------------
// TButton
// ---------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWidgetControl(AOwner, new QPushButton()) {
  auto* b = static_cast<QPushButton*>(GetWidget());
  b->setAutoDefault(false);
  UseFaceColor();
  QObject::connect(b, &QPushButton::clicked, [this] { Click(); });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 75, 25);
}

void TButton::SetDefault(bool Value) {
  FDefault = Value;
  static_cast<QPushButton*>(GetWidget())->setDefault(Value);
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
  TWidgetControl::Click();
}

void TButton::TextChanged() { static_cast<QPushButton*>(GetWidget())->setText(Q(GetCaption())); }

// ---------------------------------------------------------------------------
// TCheckBox
// ---------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* AOwner) : TWidgetControl(AOwner, new QCheckBox()) {
  auto* c = static_cast<QCheckBox*>(GetWidget());
  UseFaceColor();
  QObject::connect(c, &QCheckBox::stateChanged, [this](int State) { WidgetStateChanged(State); });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 97, 17);
}

void TCheckBox::WidgetStateChanged(int QtState) {
  const TCheckBoxState s = QtState == Qt::Checked ? cbChecked : QtState == Qt::PartiallyChecked ? cbGrayed : cbUnchecked;
  if (s == FState) return;
  FState = s;
  Click();
}

void TCheckBox::SetState(TCheckBoxState Value) {
  if (Value == cbGrayed && !FAllowGrayed) Value = cbUnchecked;
  if (Value == FState) return;
  auto* c = static_cast<QCheckBox*>(GetWidget());
  if (Value == cbGrayed) c->setTristate(true);
  // The widget's signal stores the state and fires OnClick.
  c->setCheckState(Value == cbChecked ? Qt::Checked : Value == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
}

void TCheckBox::SetAllowGrayed(bool Value) {
  FAllowGrayed = Value;
  static_cast<QCheckBox*>(GetWidget())->setTristate(Value);
}

void TCheckBox::TextChanged() { static_cast<QCheckBox*>(GetWidget())->setText(Q(GetCaption())); }

// ---------------------------------------------------------------------------
// TRadioButton
// ---------------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* AOwner) : TWidgetControl(AOwner, new QRadioButton()) {
  auto* r = static_cast<QRadioButton*>(GetWidget());
  // Exclusive among the radio buttons of one parent control, whose widgets
  // sit in different peers: the control does it.
  r->setAutoExclusive(false);
  UseFaceColor();
  QObject::connect(r, &QRadioButton::toggled, [this](bool On) {
    if (!On) return;
    if (TWinControl* parent = GetParent())
      for (Integer i = 0; i < parent->GetControlCount(); ++i)
        if (auto* other = dynamic_cast<TRadioButton*>(parent->GetControl(i)); other != nullptr && other != this)
          other->SetChecked(false);
    Click();
  });
  SetBounds(GetLeft(), GetTop(), 113, 17);
}

bool TRadioButton::GetChecked() const { return static_cast<QRadioButton*>(GetWidget())->isChecked(); }

void TRadioButton::SetChecked(bool Value) {
  auto* r = static_cast<QRadioButton*>(GetWidget());
  if (Value == r->isChecked()) return;
  r->setChecked(Value);
}

void TRadioButton::TextChanged() { static_cast<QRadioButton*>(GetWidget())->setText(Q(GetCaption())); }

// ---------------------------------------------------------------------------
// TEdit
// ---------------------------------------------------------------------------

TEdit::TEdit(TComponent* AOwner) : TWidgetControl(AOwner, new QLineEdit()) {
  auto* e = static_cast<QLineEdit*>(GetWidget());
  QObject::connect(e, &QLineEdit::textChanged, [this](const QString& Text) {
    StoreCaption(Text.toStdString());
    Change();
  });
  QObject::connect(e, &QLineEdit::textEdited, [this](const QString&) { FModified = true; });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 121, 21);
}

void TEdit::TextChanged() {
  auto* e = static_cast<QLineEdit*>(GetWidget());
  const QString text = Q(GetCaption());
  if (e->text() != text) e->setText(text);
  // The widget may refuse part of it (MaxLength).
  StoreCaption(e->text().toStdString());
}

void TEdit::Change() {
  if (OnChange) OnChange(this);
}

void TEdit::SetTextMargins(Integer Left, Integer Right) {
  static_cast<QLineEdit*>(GetWidget())->setTextMargins(std::max(0, Left), 0, std::max(0, Right), 0);
}

void TEdit::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  const Qt::Alignment h = Value == taRightJustify ? Qt::AlignRight : Value == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
  static_cast<QLineEdit*>(GetWidget())->setAlignment(h | Qt::AlignVCenter);
}

bool TEdit::GetReadOnly() const { return static_cast<QLineEdit*>(GetWidget())->isReadOnly(); }
void TEdit::SetReadOnly(bool Value) { static_cast<QLineEdit*>(GetWidget())->setReadOnly(Value); }

void TEdit::SetMaxLength(Integer Value) {
  FMaxLength = std::max(0, Value);
  static_cast<QLineEdit*>(GetWidget())->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

void TEdit::SetPasswordChar(char Value) {
  FPasswordChar = Value;
  static_cast<QLineEdit*>(GetWidget())->setEchoMode(Value != '\0' ? QLineEdit::Password : QLineEdit::Normal);
}

Integer TEdit::GetSelStart() const {
  auto* e = static_cast<QLineEdit*>(GetWidget());
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TEdit::SetSelStart(Integer Value) {
  static_cast<QLineEdit*>(GetWidget())->setCursorPosition(std::max(0, Value));
}

Integer TEdit::GetSelLength() const { return static_cast<QLineEdit*>(GetWidget())->selectionLength(); }

void TEdit::SetSelLength(Integer Value) {
  auto* e = static_cast<QLineEdit*>(GetWidget());
  e->setSelection(GetSelStart(), std::max(0, Value));
}

String TEdit::GetSelText() const { return static_cast<QLineEdit*>(GetWidget())->selectedText().toStdString(); }

void TEdit::SelectAll() { static_cast<QLineEdit*>(GetWidget())->selectAll(); }

// ---------------------------------------------------------------------------
// TLabel
// ---------------------------------------------------------------------------

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner), FLabel(new QLabel()) {
  FLabel->setParent(GetPeer());
  FLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  FLabel->show();
  HandleNeeded();
  SetBounds(GetLeft(), GetTop(), 0, 13);
}

void TLabel::Fit() {
  if (!FAutoSize) return;
  auto* l = static_cast<QLabel*>(FLabel);
  const QSize hint = l->sizeHint();
  SetBounds(GetLeft(), GetTop(), FWordWrap ? GetWidth() : hint.width(), hint.height());
}

void TLabel::SetAutoSize(bool Value) {
  FAutoSize = Value;
  Fit();
}

void TLabel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  const Qt::Alignment h = Value == taCenter ? Qt::AlignHCenter : Value == taRightJustify ? Qt::AlignRight : Qt::AlignLeft;
  static_cast<QLabel*>(FLabel)->setAlignment(h | Qt::AlignTop);
}

void TLabel::SetWordWrap(bool Value) {
  FWordWrap = Value;
  static_cast<QLabel*>(FLabel)->setWordWrap(Value);
  Fit();
}

void TLabel::TextChanged() {
  static_cast<QLabel*>(FLabel)->setText(Q(GetCaption()));
  Fit();
}

void TLabel::ClientResized(Integer NewWidth, Integer NewHeight) { FLabel->setGeometry(0, 0, NewWidth, NewHeight); }

void TLabel::EnabledChanged() { FLabel->setEnabled(GetEnabled()); }

void TLabel::PaintPeer(QPainter& Painter) {
  Painter.fillRect(0, 0, GetWidth(), GetHeight(), Q(GetParent() != nullptr ? GetParent()->GetColor() : clBtnFace));
}

// ---------------------------------------------------------------------------
// TPanel and TGroupBox
// ---------------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TWidgetControl(AOwner, new QLabel()) {
  // The label under a panel has no click signal: a panel's clicks come from
  // its mouse messages, as those of any plain control do.
  SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls, csClickEvents, csCaptureMouse});
  auto* l = static_cast<QLabel*>(GetWidget());
  l->setAlignment(Qt::AlignCenter);
  UseFaceColor();
  UpdateFrame();
  SetBounds(GetLeft(), GetTop(), 185, 41);
}

void TPanel::UpdateFrame() {
  auto* l = static_cast<QLabel*>(GetWidget());
  const TPanelBevel bevel = FBevelOuter != bvNone ? FBevelOuter : FBevelInner;
  l->setFrameShape(bevel == bvNone || bevel == bvSpace ? QFrame::NoFrame : QFrame::Panel);
  l->setFrameShadow(bevel == bvLowered ? QFrame::Sunken : QFrame::Raised);
  l->setLineWidth(FBevelWidth);
  Realign();
}

void TPanel::SetBevelOuter(TPanelBevel Value) {
  FBevelOuter = Value;
  UpdateFrame();
}

void TPanel::SetBevelInner(TPanelBevel Value) {
  FBevelInner = Value;
  UpdateFrame();
}

void TPanel::SetBevelWidth(Integer Value) {
  FBevelWidth = std::max(1, Value);
  UpdateFrame();
}

void TPanel::SetBorderWidth(Integer Value) {
  FBorderWidth = std::max(0, Value);
  Realign();
}

void TPanel::AdjustClientRect(TRect& Rect) {
  Integer inset = FBorderWidth;
  if (FBevelOuter != bvNone) inset += FBevelWidth;
  if (FBevelInner != bvNone) inset += FBevelWidth;
  Rect = TRect{Rect.Left + inset, Rect.Top + inset, Rect.Right - inset, Rect.Bottom - inset};
}

void TPanel::TextChanged() { static_cast<QLabel*>(GetWidget())->setText(Q(GetCaption())); }

TGroupBox::TGroupBox(TComponent* AOwner) : TWidgetControl(AOwner, new TEtchedGroupBox(this)) {
  UseFaceColor();
  SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls});
  SetBounds(GetLeft(), GetTop(), 185, 105);
}

void TGroupBox::AdjustClientRect(TRect& Rect) {
  Rect = TRect{Rect.Left + 2, Rect.Top + CaptionTextHeight + 2, Rect.Right - 2, Rect.Bottom - 2};
}

void TGroupBox::TextChanged() { static_cast<QGroupBox*>(GetWidget())->setTitle(Q(GetCaption())); }
