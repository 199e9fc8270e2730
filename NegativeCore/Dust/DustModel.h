// The dust model "DustNet": a small network that marks dust and hairs in a luminance image pixel
// by pixel, run with OpenCV's DNN module on the CPU. This finds and loads the model file once
// per process, runs it tile by tile over a plane of any size and turns the probability map into
// repair spots. Every failure is silent and answers with nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Record/Spot.h"

namespace DustModel {

// The cap the model pass hands to spotsFromProbability.
inline constexpr int64_t maxSpots = 4000;

// A loaded model: the model file's bytes, from which each predicting thread gets a network of
// its own (an OpenCV network must not be shared between threads). Networks are reused.
class Model {
 public:
  // Reads and checks a model file: input "image" [1, 1, H′, W′], output "prob" of the same shape,
  // tried on a 64 × 64 plane. Nothing when the file cannot be read or the model does not run.
  static std::shared_ptr<Model> fromFile(const std::filesystem::path& path);

  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // One pass of the network over a plane of rows × columns values (each side a multiple of 16,
  // at least 64): the output plane of the same size, or nothing when the pass fails. Any thread.
  std::optional<std::vector<float>> run(const std::vector<float>& plane, int64_t rows,
                                        int64_t columns) const;

 private:
  struct Networks;
  explicit Model(std::unique_ptr<Networks> networks);
  std::unique_ptr<Networks> networks_;
};

// The model file to load: the file that KV_DUSTMODEL names when it exists, else
// "Kelvadorium/Models/DustNet.onnx" in the user's data folder ($XDG_DATA_HOME, by default
// ~/.local/share) when it exists, else "Models/DustNet.onnx" of the resource bundle.
std::optional<std::filesystem::path> modelURL();

// The process's model. The first call tries to load it, under the model lock; later calls give
// that result at once, so a failed load is never repeated in the same process. OpenCV has no
// compile step, so there is no compiled-model cache. Thread-safe.
std::shared_ptr<Model> loadModel();

// Whether loadModel gives a model (loading it when that has not happened yet).
bool isAvailable();

// The model's input from a print's interleaved R, G, B (width · height · 3 floats): BT.601 luma
// 0.299 R + 0.587 G + 0.114 B per pixel, limited to 0…1 (a value that is not a number gives 0).
std::vector<float> inputLuminance(int64_t width, int64_t height, const std::vector<float>& rgb);

// Probabilities (width · height values) of the process's model over a luminance plane, tile by
// tile: tiles of `tile` pixels, each run with `margin` pixels of context on every side inside the
// image, padded by mirroring to a multiple of 16 (at least 64) after its last row and column.
// Tiles run one after another on the calling thread. Nothing when there is no model, a
// prediction fails, or the arguments do not describe the plane.
std::optional<std::vector<float>> predict(const std::vector<float>& luma, int64_t width,
                                          int64_t height, int64_t tile, int64_t margin);

// predict with a given model rather than the process's.
std::optional<std::vector<float>> predictWith(const Model& model, const std::vector<float>& luma,
                                              int64_t width, int64_t height, int64_t tile,
                                              int64_t margin);

// Whether a component whose normalised centroid is (x, y) is wanted.
using AcceptTest = std::function<bool(double x, double y)>;

// Repair spots from a probability map: 8-connected components above a threshold set by the
// sensitivity, kept when large and confident enough and accepted by the test; a compact one
// becomes one spot, an elongated one (a hair, a scratch) a chain of spots sharing a new group.
// Groups go out by rank (peak · √pixels), whole, until the first that no longer fits under
// maxSpots; a group that alone holds more than maxSpots spots is passed over.
std::vector<Spot> spotsFromProbability(const std::vector<float>& prob, int64_t width,
                                       int64_t height, int64_t maxSpots, const AcceptTest& accept,
                                       double sensitivity);

}  // namespace DustModel
