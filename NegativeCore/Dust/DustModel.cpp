#include "Dust/DustModel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/dnn.hpp>
#include <system_error>

#include "Dust/DustModelTiles.h"
#include "Resources/ResourceBundle.h"
#include "Support/ParallelFor.h"

namespace fs = std::filesystem;

namespace DustModel {

// The model file's bytes and the networks built from them that no thread is using.
struct Model::Networks {
  std::vector<uchar> bytes;
  std::mutex lock;
  std::vector<std::unique_ptr<cv::dnn::Net>> idle;

  // A network for the calling thread: an idle one, or a new one built from the bytes.
  std::unique_ptr<cv::dnn::Net> take() {
    {
      std::lock_guard guard(lock);
      if (!idle.empty()) {
        auto net = std::move(idle.back());
        idle.pop_back();
        return net;
      }
    }
    auto net = std::make_unique<cv::dnn::Net>(cv::dnn::readNetFromONNX(bytes));
    net->setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    net->setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    return net;
  }

  void giveBack(std::unique_ptr<cv::dnn::Net> net) {
    std::lock_guard guard(lock);
    idle.push_back(std::move(net));
  }
};

namespace {

// The library does not log: OpenCV's importer would print its complaints about a bad model.
void silenceOpenCv() {
  static std::once_flag once;
  std::call_once(once,
                 [] { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); });
}

std::optional<std::vector<uchar>> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uchar> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.empty()) return std::nullopt;
  return bytes;
}

// The output plane of a forward pass when it has the input's shape.
std::optional<std::vector<float>> planeOf(const cv::Mat& output, int64_t rows, int64_t columns) {
  if (output.dims != 4 || output.size[0] != 1 || output.size[1] != 1 || output.size[2] != rows ||
      output.size[3] != columns)
    return std::nullopt;
  cv::Mat values = output;
  if (values.depth() != CV_32F) output.convertTo(values, CV_32F);
  if (!values.isContinuous()) values = values.clone();
  const auto* first = values.ptr<float>();
  return std::vector<float>(first, first + rows * columns);
}

bool fileExists(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::optional<fs::path> userDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute())
    return fs::path(xdg);
  if (const char* home = std::getenv("HOME"); home && *home)
    return fs::path(home) / ".local" / "share";
  return std::nullopt;
}

}  // namespace

Model::Model(std::unique_ptr<Networks> networks) : networks_(std::move(networks)) {}
Model::~Model() = default;

std::shared_ptr<Model> Model::fromFile(const fs::path& path) {
  silenceOpenCv();
  auto bytes = readBytes(path);
  if (!bytes) return nullptr;
  auto networks = std::make_unique<Networks>();
  networks->bytes = std::move(*bytes);
  std::shared_ptr<Model> model(new Model(std::move(networks)));
  constexpr int64_t side = 64;
  if (!model->run(std::vector<float>(side * side, 0.5f), side, side)) return nullptr;
  return model;
}

std::optional<std::vector<float>> Model::run(const std::vector<float>& plane, int64_t rows,
                                             int64_t columns) const {
  if (rows <= 0 || columns <= 0 || plane.size() != static_cast<size_t>(rows * columns))
    return std::nullopt;
  try {
    auto net = networks_->take();
    const int shape[4] = {1, 1, static_cast<int>(rows), static_cast<int>(columns)};
    // OpenCV takes the buffer without copying and only reads it.
    cv::Mat input(4, shape, CV_32F, const_cast<float*>(plane.data()));
    net->setInput(input, "image");
    auto result = planeOf(net->forward("prob"), rows, columns);
    net->setInput(cv::Mat(), "image");
    if (result) networks_->giveBack(std::move(net));
    return result;
  } catch (const cv::Exception&) {
    return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<fs::path> modelURL() {
  if (const char* named = std::getenv("KV_DUSTMODEL"); named && *named && fileExists(named))
    return fs::path(named);
  if (auto data = userDataFolder()) {
    fs::path user = *data / "Kelvadorium" / "Models" / "DustNet.onnx";
    if (fileExists(user)) return user;
  }
  return ResourceBundle::resource("DustNet", "onnx", "Models");
}

std::shared_ptr<Model> loadModel() {
  static std::mutex lock;
  static std::shared_ptr<Model> loaded;
  static bool tried = false;
  std::lock_guard guard(lock);
  if (loaded || tried) return loaded;
  tried = true;
  if (auto url = modelURL()) loaded = Model::fromFile(*url);
  return loaded;
}

bool isAvailable() { return loadModel() != nullptr; }

std::vector<float> inputLuminance(int64_t width, int64_t height, const std::vector<float>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width * height * 3)) return {};
  std::vector<float> luma(static_cast<size_t>(width * height));
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * width; i < end * width; ++i) {
      const float* p = rgb.data() + i * 3;
      const float v = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
      luma[i] = v > 1 ? 1.0f : (v > 0 ? v : 0.0f);
    }
  });
  return luma;
}

std::optional<std::vector<float>> predict(const std::vector<float>& luma, int64_t width,
                                          int64_t height, int64_t tile, int64_t margin) {
  auto model = loadModel();
  if (!model) return std::nullopt;
  return predictWith(*model, luma, width, height, tile, margin);
}

std::optional<std::vector<float>> predictWith(const Model& model, const std::vector<float>& luma,
                                              int64_t width, int64_t height, int64_t tile,
                                              int64_t margin) {
  if (width < 0 || height < 0 || tile <= 0 || margin < 0 ||
      luma.size() != static_cast<size_t>(width * height))
    return std::nullopt;
  std::vector<float> out(luma.size(), 0.0f);
  for (int64_t y0 = 0; y0 < height; y0 += tile) {
    for (int64_t x0 = 0; x0 < width; x0 += tile) {
      const int64_t ys = std::max<int64_t>(y0 - margin, 0);
      const int64_t ye = std::min(y0 + tile + margin, height);
      const int64_t xs = std::max<int64_t>(x0 - margin, 0);
      const int64_t xe = std::min(x0 + tile + margin, width);
      const int64_t rows = paddedSide(ye - ys);
      const int64_t columns = paddedSide(xe - xs);
      auto prob = model.run(tileInput(luma, width, xs, ys, xe - xs, ye - ys), rows, columns);
      if (!prob) return std::nullopt;
      const int64_t innerRows = std::min(tile, height - y0);
      const int64_t innerColumns = std::min(tile, width - x0);
      for (int64_t j = 0; j < innerRows; ++j) {
        const float* from = prob->data() + (y0 - ys + j) * columns + (x0 - xs);
        std::copy(from, from + innerColumns, out.begin() + (y0 + j) * width + x0);
      }
    }
  }
  return out;
}

}  // namespace DustModel
