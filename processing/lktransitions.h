// The transition engine: animates the passage from one picture to the next
// in a view, or renders any frame of it into a bitmap.
//
// The view sizes the engine to its client area (SetSizes), paints its
// present look into FromBitmap, changes its picture, paints the new look into
// ToBitmap and calls Run. The engine then holds off the view's painting (its
// paint lock) and, on every tick of a 1 ms timer, draws the frame for the
// elapsed time straight onto the view's client image until the duration has
// passed. PrepareBitmap and CreateBitmapFrame render frames into a caller's
// bitmap without timer or view.
//
// Types 1 to 30 and the pan-zoom (164) are drawn here on the rows of the
// 24-bit bitmaps in 10-bit fixed point; types 31 to 163 are drawn by the
// procedures of LKTransitionList (processing/lkxtratransitions.h). The
// frame keeps its content between frames and most transitions only add what
// changed, so frames are meant to be made from the start upward.
//
// Everything runs on the thread that owns the view.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"

class TBitmap;
class TLKBitmap;
class TLKViewLink;
class TObject;
class TTimer;

enum TLKTransitionType : Byte {
  lkttNone,
  lkttCrossDissolve,
  lkttFadeOut,
  lkttFadeIn,
  lkttFadeOutIn,
  lkttLeftRight1,
  lkttLeftRight2,
  lkttRightLeft1,
  lkttRightLeft2,
  lkttUpDown1,
  lkttUpDown2,
  lkttDownUp1,
  lkttDownUp2,
  lkttFromUpLeft,
  lkttFromUpRight,
  lkttFromBottomLeft,
  lkttFromBottomRight,
  lkttMoveLeftRight1,
  lkttMoveLeftRight2,
  lkttMoveRightLeft1,
  lkttMoveRightLeft2,
  lkttMoveUpDown1,
  lkttMoveUpDown2,
  lkttMoveDownUp1,
  lkttMoveDownUp2,
  lkttRandomPoints,
  lkttRandomBoxes,
  lkttCenter1,
  lkttCenter2,
  lkttCenterZoom1,
  lkttCenterZoom2,
  lkttExpandFromLeft,
  lkttExpandFromRight,
  lkttExpandFromTop,
  lkttExpandFromBottom,
  lkttExpandFromTopLeft,
  lkttExpandFromTopRight,
  lkttExpandFromBottomLeft,
  lkttExpandFromBottomRight,
  lkttExpandInFromLeft,
  lkttExpandInFromRight,
  lkttExpandInFromTop,
  lkttExpandInFromBottom,
  lkttExpandInToVerticalCenter,
  lkttExpandInToHorizon,
  lkttExpandInFromSides,
  lkttExpandInFromTopAndBottom,
  lkttExpandOutFromHorizon,
  lkttExpandOutFromVerticalCenter,
  lkttWipeFromTopLeft,
  lkttWipeFromTopRight,
  lkttWipeFromBottomLeft,
  lkttWipeFromBottomRight,
  lkttWipeFromHorizon,
  lkttWipeInFromSides,
  lkttWipeOutFromVerticalCenter,
  lkttBuildUpFromLeft,
  lkttBuildUpFromRight,
  lkttBuildUpFromTop,
  lkttBuildUpFromBottom,
  lkttUnrollFromLeft,
  lkttUnrollFromRight,
  lkttUnrollFromTop,
  lkttUnrollFromBottom,
  lkttSlideInFromLeft,
  lkttSlideInFromRight,
  lkttSlideInFromTop,
  lkttSlideInFromBottom,
  lkttSlideInFromTopAndBottom,
  lkttShrinkToTopLeft,
  lkttShrinkToTopRight,
  lkttShrinkToBottomLeft,
  lkttShrinkToBottomRight,
  lkttShrinkToCenter,
  lkttQuartersWipeInToCenter,
  lkttQuartersExpandToCenter,
  lkttQuartersSlideInToCenter,
  lkttCurvedWipeFromLeft,
  lkttCurvedWipeFromRight,
  lkttCurvedWipeFromTop,
  lkttCurvedWipeFromBottom,
  lkttBarsInFromLeft,
  lkttBarsInFromRight,
  lkttBarsFromTop,
  lkttBarsFromBottom,
  lkttBarsLeftThenRight,
  lkttBarsRightThenLeft,
  lkttBarsTopThenBottom,
  lkttBarsBottomThenTop,
  lkttBarsFrombothSides,
  lkttBarsFromTopAndBottom,
  lkttShreddedFromLeft,
  lkttShreddedFromRight,
  lkttShreddedFromTop,
  lkttShreddedFromBottom,
  lkttShreddedFromTopAndLeft,
  lkttShreddedFromTopAndRight,
  lkttShreddedFromBottomAndLeft,
  lkttShreddedFromBottomAndRight,
  lkttShreddedFromHorizonAndLeft,
  lkttShreddedFromHorizonAndRight,
  lkttShreddedFromTopAndVerticalCenter,
  lkttShreddedFromBottomAndVerticalCenter,
  lkttShreddedToCenter,
  lkttShreddedFromCenter,
  lkttShreddedInToHorizon,
  lkttShreddedInToVerticalCenter,
  lkttShreddedOutFromHorizon,
  lkttShreddedOutFromVerticalCenter,
  lkttRectangularShred,
  lkttTriangularShredToTopLeft,
  lkttCurvedWipeFromTopLeft,
  lkttCurvedWipeFromTopRight,
  lkttCurvedWipeFromBottomLeft,
  lkttCurvedWipeFromBottomRight,
  lkttCircularWipeFromCenter,
  lkttCircularWipeToCenter,
  lkttCrisscrossWipeFromTopLeft,
  lkttCrisscrossWipeFromTopRight,
  lkttCrisscrossWipeFromBottomLeft,
  lkttCrisscrossWipeFromBottomRight,
  lkttCrisscrossWipeBounceFromTopLeft,
  lkttCrisscrossWipeBounceFromTopRight,
  lkttCrisscrossWipeBounceFromBottomLeft,
  lkttCrisscrossWipeBounceFromBottomRight,
  lkttCrisscrossWipeFromLeftRightAndTop,
  lkttCrisscrossWipeFromLeftRightAndBottom,
  lkttCrisscrossWipeFromLeftTopAndBottom,
  lkttCrisscrossWipeFromTopLeftRightAndBottom,
  lkttCrisscrossWipeFromRightTopAndBottom,
  lkttCrisscrossWipeFromBottomLeftTopRight,
  lkttWipeDiagonalFromTopLeft,
  lkttWipeDiagonalFromTopRight,
  lkttWipeDiagonalFromBottomLeft,
  lkttWipeDiagonalFromBottomRight,
  lkttDiagonalSweepClockwise,
  lkttDiagonalSweepCounterClockwise,
  lkttSweepClockwise,
  lkttSweepCounterClockwise,
  lkttStarburstClockwiseFromCenter,
  lkttRotationalRectangle,
  lkttRotationalStar,
  lkttSpeckledWipeFromLeft,
  lkttSpeckledWipeFromRight,
  lkttSpeckledWipeFromTop,
  lkttSpeckledWipeFromBottom,
  lkttPushLeftAndSlideOut,
  lkttPushRightAndSlideOut,
  lkttPushUpAndSlideOut,
  lkttPushDownAndSlideOut,
  lkttPushAndSqueezeLeft,
  lkttPushAndSqueezeRight,
  lkttPushAndSqueezeUp,
  lkttPushAndSqueezeDown,
  lkttHorizontalBlinds,
  lkttVerticalBlinds,
  lkttUnevenBlindsFromLeft,
  lkttUnevenBlindsFromRight,
  lkttUnevenBlindsFromTop,
  lkttUnevenBlindsFromBottom,
  lkttRectanglesFromTheLeft,
  lkttRectanglesFromTheRight,
  lkttRectanglesFromTheTop,
  lkttRectanglesFromTheBottom,
  lkttPanZoom
};

/// How the step follows the elapsed time of a timed run.
enum TLKTransitionTiming : Byte { lkttLinear, lkttExponential, lkttLogarithmic };

/// Called before each timed frame with the step (0..1024) about to be drawn.
using TLKTransitionStepEvent = std::function<void(TObject* Sender, Integer Step)>;

class TLKTransitionEffects {
 public:
  /// Three 1 x 1 pf24bit bitmaps, not running, type lkttNone, duration
  /// 1000 ms, linear timing, a disabled 1 ms timer.
  explicit TLKTransitionEffects(TLKViewLink* Owner);
  ~TLKTransitionEffects();
  TLKTransitionEffects(const TLKTransitionEffects&) = delete;
  TLKTransitionEffects& operator=(const TLKTransitionEffects&) = delete;

  /// Stop, then sizes the frame, from and to bitmaps (pixels not set).
  void SetSizes(Integer Width, Integer Height);
  /// Starts a timed run (restarts one in progress without a second paint
  /// lock). Nothing for lkttNone; a size below 2 x 2 or a from bitmap of
  /// another height leaves the engine idle.
  void Run(bool UpdateOnStop);
  /// Ends a timed run: timer off, bitmaps back to 1 x 1, the view's paint
  /// lock released, the view updated (UpdateOnStop), OnTransitionStop.
  void Stop();
  /// Loads two pictures of the same size for frame-by-frame rendering
  /// (ends any run first).
  void PrepareBitmap(TBitmap* From, TBitmap* To);
  /// Renders the frame at Position thousandths (0..1000, clamped) into
  /// Bitmap, which becomes Width x Height, pf24bit.
  void CreateBitmapFrame(Integer Position, TBitmap* Bitmap);
  /// One timed frame (the timer's tick).
  void TimerEvent(TObject* Sender);
  /// Draws the frame for Step (0..1024) of the present type into
  /// FrameBitmap.
  void DrawFrame(Integer Step);

  // The engine's own transitions, each drawing its frame for step s.
  void CrossDissolve(Integer s);
  void FadeOut(Integer s);
  void FadeIn(Integer s);
  void FadeOutIn(Integer s);
  void LeftRight1(Integer s);
  void LeftRight2(Integer s);
  void RightLeft1(Integer s);
  void RightLeft2(Integer s);
  void UpDown1(Integer s);
  void UpDown2(Integer s);
  void DownUp1(Integer s);
  void DownUp2(Integer s);
  void FromUpLeft(Integer s);
  void FromUpRight(Integer s);
  void FromBottomLeft(Integer s);
  void FromBottomRight(Integer s);
  void MoveLeftRight1(Integer s);
  void MoveLeftRight2(Integer s);
  void MoveRightLeft1(Integer s);
  void MoveRightLeft2(Integer s);
  void MoveUpDown1(Integer s);
  void MoveUpDown2(Integer s);
  void MoveDownUp1(Integer s);
  void MoveDownUp2(Integer s);
  void RandomPoints(Integer s);
  void RandomBoxes(Integer s);
  void Center1(Integer s);
  void Center2(Integer s);
  void CenterZoom1(Integer s);
  void CenterZoom2(Integer s);
  void PanZoom(Integer s);

  /// The timer (tests tick it by hand).
  TTimer* GetTimer() const { return Timer.get(); }

  std::unique_ptr<TBitmap> FromBitmap, ToBitmap, FrameBitmap;
  TLKBitmap* SourceImage = nullptr;  // the view's image, read by the pan-zoom
  Integer Width = 0, Height = 0;
  bool Running = false;
  TLKViewLink* View = nullptr;
  Integer Step = 0;
  Integer PrevAmount = 0;
  TLKTransitionType Transition = lkttNone;
  Integer Duration = 1000;
  DWORD StartTick = 0;
  bool UpdateOnStop = false;
  TRect StartRect{}, EndRect{};
  std::function<void(TObject* Sender)> OnTransitionStop;
  TLKTransitionStepEvent OnTransitionStep;
  TLKTransitionTiming Timing = lkttLinear;
  /// Milliseconds since some fixed moment (GetTickCount unless a test
  /// injects its own clock).
  std::function<DWORD()> Clock;

 private:
  void BuildRows();
  void Fade(Integer s, bool FromB, bool ToB);
  void Wipe(Integer s, const TRect& R);
  void RedLine(Integer X0, Integer Y0, Integer X1, Integer Y1);
  void Slide(Integer s, Integer OX, Integer OY);
  Integer NextStep(DWORD Elapsed) const;
  // Random points and boxes: at step 0 the from picture and 0, else how
  // many to add for step s (Unit per row or per picture).
  Integer RandomAdded(Integer s, double Unit);
  std::unique_ptr<TTimer> Timer;
  std::vector<Byte*> FromRows, ToRows, FrameRows;
};
