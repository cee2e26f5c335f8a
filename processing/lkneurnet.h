// A small fully connected feed-forward network: one hidden layer, logistic
// activations, trained by plain back-propagation. Helpers turn a channel, a
// resampled grey rectangle, a histogram or average colours into inputs and
// targets, and write outputs back as grey or channel values. The weights
// can be stored in a stream or a file.
//
// Threading: a network belongs to one thread at a time.
#pragma once

#include <random>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TLKBitmap;
class TBitmap;

/// A feed-forward network of InputCount inputs, HiddenCount hidden units
/// and OutputCount outputs; each layer has a bias unit fixed at 1.
class TLKNeurNet : public TObject {
 public:
  /// Allocates the layers (zeroed) and draws the first weights
  /// (Initialize). Raises EInvalidArgument for a count below 1.
  TLKNeurNet(Integer InputCount, Integer HiddenCount, Integer OutputCount);

  /// Every weight becomes (r - 50) / 100 for a random r in 0..99, drawn
  /// again while that is 0; the bias input and bias hidden unit are 1.
  void Initialize();
  /// Forward pass: the outputs from the inputs.
  void Run();
  /// One back-propagation step towards the targets with learning rate Rate;
  /// returns the largest absolute output error before the step.
  double Learn(double Rate);
  /// Largest absolute difference between a target and its output.
  double GetError() const;

  /// One input, output or target. Indexes outside the layer read 0 and are
  /// not written.
  void SetInput(Integer Index, double Value);
  double GetInput(Integer Index) const;
  void SetOutput(Integer Index, double Value);
  double GetOutput(Integer Index) const;
  void SetCmp(Integer Index, double Value);
  double GetCmp(Integer Index) const;

  Integer GetInputCount() const { return FInputs; }
  Integer GetHiddenCount() const { return FHidden; }
  Integer GetOutputCount() const { return FOutputs; }
  /// Weight of input J into hidden unit I (J = InputCount: the bias).
  float& FirstWeight(Integer I, Integer J) { return FW1[std::size_t(I) * (FInputs + 1) + J]; }
  /// Weight of hidden unit J into output K (J = HiddenCount: the bias).
  float& SecondWeight(Integer K, Integer J) { return FW2[std::size_t(K) * (FHidden + 1) + J]; }

  /// The three counts as little-endian int32 (input, hidden, output), then
  /// the first-layer and second-layer weights as 4-byte floats.
  void SaveToStream(TStream* Stream) const;
  /// Reads what SaveToStream wrote and re-sizes the network to it. Raises
  /// EReadError, leaving the network as it was, for counts below 1 or
  /// weights the stream does not hold.
  void LoadFromStream(TStream* Stream);
  void SaveToFile(const String& FileName) const;
  void LoadFromFile(const String& FileName);

  /// Inputs from channel Channel (0 red, 1 green, 2 blue) of the lk24RGB
  /// rectangle X1..X2, Y1..Y2 (inclusive): input (x - X1) + (y - Y1) x
  /// (X2 - X1 + 1) = value / 255. Other channels, other formats, a rectangle
  /// outside the bitmap or more pixels than inputs store nothing.
  void SetInputAsBitmap(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Channel);
  /// Inputs 0.. from the grey values (0..1) of the rectangle X, Y, Width x
  /// Height, resampled (triangle filter) to NewWidth x NewHeight, row by
  /// row. Nothing when a size is 0; values past the inputs are dropped.
  void SetInputAsBitmap(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height, Integer NewWidth,
                        Integer NewHeight);
  /// The same into the targets.
  void SetLearnAsBitmap(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height, Integer NewWidth,
                        Integer NewHeight);
  /// Input y x width + x = (red + green + blue) / 3 / 255 of a 24-bit
  /// class-library bitmap; other formats store nothing.
  void SetInputAsBitmap(TBitmap* Bitmap);
  /// Inputs 3i, 3i+1, 3i+2 = red, green and blue count of level i of the
  /// bitmap's histogram, each divided by 255.
  void SetInputAsHistogram(TLKBitmap* Bitmap);
  /// Targets 0, 1, 2 = the means of the non-zero blue, green and red values
  /// (the pixel's byte order) / 255.
  void SetLearnAsAverages(TLKBitmap* Bitmap);
  /// Target 0 = channel Channel of the lk24RGB pixel (X, Y) / 255; other
  /// channels or a pixel outside store nothing.
  void SetLearnAsRGB(TLKBitmap* Bitmap, Integer X, Integer Channel, Integer Y);
  /// Allocates Bitmap as lk24RGB Width x Height; pixel (x, y) becomes the
  /// grey of output y x Width + x times 255 (0 past the outputs).
  void GetOutputAsBitmap(TLKBitmap* Bitmap, Integer Width, Integer Height) const;
  /// Channel Channel of the lk24RGB pixel (X, Y) becomes output 0 x 255;
  /// other channels change nothing.
  void GetOutputAsRGB(TLKBitmap* Bitmap, Integer X, Integer Channel, Integer Y) const;

 private:
  void Resize(Integer InputCount, Integer HiddenCount, Integer OutputCount);
  void SetFromGrey(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height, Integer NewWidth,
                   Integer NewHeight, std::vector<float>& Into, std::size_t Count);

  Integer FInputs = 0, FHidden = 0, FOutputs = 0;
  std::vector<float> FHiddenValues, FHiddenDeltas, FW1, FW2, FIn, FOut, FCmp;
  std::mt19937 FRandom;
};
