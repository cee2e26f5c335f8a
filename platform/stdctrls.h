// Standard controls over real Qt widgets: button, check box, radio button,
// single-line edit, label, panel and group box. The Qt widget fills the
// control and does the drawing, keyboard and accessibility; the control
// adds our geometry and our event rules:
//   - TEdit.OnChange fires for every text change, in code or by the user;
//   - TCheckBox.OnClick fires for every real change of Checked, in code too;
//   - TRadioButton.OnClick fires when it becomes checked, in code too;
//   - TButton.OnClick fires for the user's click and for Click in code.
#pragma once

#include "platform/controls.h"

class QWidget;
class QObject;

/// Base of the controls that wrap a Qt widget: the widget fills the
/// control, takes its focus and passes its input through the control's
/// messages first (a handler that consumes a key keeps it from the widget).
class TWidgetControl : public TWinControl {
 public:
  ~TWidgetControl() override;
  QWidget* GetFocusWidget() const override { return FWidget; }
  /// The Qt widget (for tests and for placing it).
  QWidget* GetWidget() const { return FWidget; }

 protected:
  /// Takes Widget (a new widget without parent) as the control's widget.
  TWidgetControl(TComponent* AOwner, QWidget* Widget);
  /// Puts the input filter on a Qt widget inside the control's widget too.
  void WatchWidget(QWidget* Inner);
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void EnabledChanged() override;
  /// Called when the control is constructed enough to take texts.
  void TextChanged() override;
  /// Whether a change comes from code inside a setter (some events skip
  /// those).
  bool InSetter() const { return FSetterLevel > 0; }
  /// Runs Proc as a change made in code.
  void AsSetter(const std::function<void()>& Proc);
  /// Controls that show their parent's face (buttons, boxes, panels,
  /// sliders) start with clBtnFace; edits and lists keep clWindow.
  void UseFaceColor() { SetColor(clBtnFace); }

 private:
  QWidget* FWidget;
  QObject* FFilter;
  Integer FSetterLevel = 0;
};

/// A push button. Default is clicked by Enter, Cancel by Esc anywhere in
/// its form; a click sets the form's ModalResult to the button's before
/// OnClick runs (OnClick may set it back to mrNone).
class TButton : public TWidgetControl {
 public:
  explicit TButton(TComponent* AOwner = nullptr);
  bool GetDefault() const { return FDefault; }
  void SetDefault(bool Value);
  bool GetCancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  Integer GetModalResult() const { return FModalResult; }
  void SetModalResult(Integer Value) { FModalResult = Value; }
  void Click() override;

 protected:
  void TextChanged() override;

 private:
  bool FDefault = false;
  bool FCancel = false;
  Integer FModalResult = 0;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

/// A check box; OnClick fires on every change of its state.
class TCheckBox : public TWidgetControl {
 public:
  explicit TCheckBox(TComponent* AOwner = nullptr);
  bool GetChecked() const { return FState == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  TCheckBoxState GetState() const { return FState; }
  void SetState(TCheckBoxState Value);
  bool GetAllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value);

 protected:
  void TextChanged() override;

 private:
  void WidgetStateChanged(int QtState);
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
};

/// A radio button; checking one unchecks the others with the same parent.
/// OnClick fires when it becomes checked.
class TRadioButton : public TWidgetControl {
 public:
  explicit TRadioButton(TComponent* AOwner = nullptr);
  bool GetChecked() const;
  void SetChecked(bool Value);

 protected:
  void TextChanged() override;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

/// A single-line edit. The text is the control's Text.
class TEdit : public TWidgetControl {
 public:
  explicit TEdit(TComponent* AOwner = nullptr);
  bool GetReadOnly() const;
  void SetReadOnly(bool Value);
  /// Most characters the user may type (0: no limit).
  Integer GetMaxLength() const { return FMaxLength; }
  void SetMaxLength(Integer Value);
  /// Shown instead of each character ('\0': the text itself).
  char GetPasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char Value);
  Integer GetSelStart() const;
  void SetSelStart(Integer Value);
  Integer GetSelLength() const;
  void SetSelLength(Integer Value);
  String GetSelText() const;
  void SelectAll();
  /// Whether the user changed the text since Modified was last cleared.
  bool GetModified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  /// Room kept free of text at the left and right edges (for controls
  /// placed inside the edit).
  void SetTextMargins(Integer Left, Integer Right);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

  TNotifyEvent OnChange;

 protected:
  void TextChanged() override;
  /// Fires OnChange.
  virtual void Change();

 private:
  Integer FMaxLength = 0;
  char FPasswordChar = '\0';
  bool FModified = false;
  TAlignment FAlignment = taLeftJustify;
};

/// A text label (a control without a window of its own: it never takes
/// the focus). With AutoSize its size follows its text.
class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* AOwner = nullptr);
  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool GetWordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

 protected:
  void TextChanged() override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void EnabledChanged() override;
  /// The label shows its parent's colour behind its text.
  void PaintPeer(QPainter& Painter) override;

 private:
  void Fit();
  QWidget* FLabel;
  bool FAutoSize = true;
  TAlignment FAlignment = taLeftJustify;
  bool FWordWrap = false;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

/// A panel: a raised frame holding other controls, with its caption in the
/// middle. Children are aligned inside the border and bevels.
class TPanel : public TWidgetControl {
 public:
  explicit TPanel(TComponent* AOwner = nullptr);
  TPanelBevel GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  TPanelBevel GetBevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  Integer GetBevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(Integer Value);
  Integer GetBorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(Integer Value);

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void TextChanged() override;

 private:
  void UpdateFrame();
  TPanelBevel FBevelOuter = bvRaised;
  TPanelBevel FBevelInner = bvNone;
  Integer FBevelWidth = 1;
  Integer FBorderWidth = 0;
};

/// A group box: a frame with a caption; children are aligned inside
/// (2, caption text height + 2, width - 2, height - 2).
class TGroupBox : public TWidgetControl {
 public:
  explicit TGroupBox(TComponent* AOwner = nullptr);
  /// Height of the caption's text line (the dialog font's, 13).
  static constexpr Integer CaptionTextHeight = 13;

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void TextChanged() override;
};
