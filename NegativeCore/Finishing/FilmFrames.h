// Film-holder frames: the frame list of the resource bundle ("Frames/frames.json"), their
// decoded overlays, and the composite that shows a finished print inside a frame's window.
// The list is loaded once per process; decoded overlays sit in a process-wide cache bounded by
// bytes (FrameOverlayCache). Every function is safe to call from several threads at once.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Finishing/FilmFrame.h"
#include "Print/PrintImage.h"

namespace FilmFrames {

// One decoded overlay at the PNG's own size, row-major: rgb holds three colour values in 0…1
// a pixel, premultiplied by alpha in 8 bits as the PNG was drawn; alpha one coverage a pixel.
struct Box {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<float> rgb;
  std::vector<float> alpha;

  size_t byteCount() const { return (rgb.size() + alpha.size()) * sizeof(float); }
};

// The largest overlay side accepted; larger PNGs are not decoded.
inline constexpr int64_t maxOverlaySide = 16384;

// The frame list of the resource bundle, in file order; empty when the bundle, the list or its
// decoding is missing or fails.
const std::vector<FilmFrame>& all();

// The first frame of all() with this id.
std::optional<FilmFrame> frame(std::string_view id);

// The frame's decoded overlay, from the cache or decoded anew; null when the bundle has no such
// overlay or it cannot be decoded at the frame's size.
std::shared_ptr<const Box> image(const FilmFrame& frame);

// The picture inside the frame whose id is given, as a new, larger print; the picture itself
// when there is no such frame or its overlay is missing.
PrintImage composite(PrintImage picture, std::string_view frameId);

// The composite with a given frame and overlay; the overlay must be the frame's w × h.
PrintImage composite(const PrintImage& picture, const FilmFrame& frame, const Box& overlay);

// Strict list decoding: one JSON array of frames; any syntax error, non-array, missing required
// key or wrong type makes the whole list empty.
std::vector<FilmFrame> decodeList(std::string_view jsonText);

// The list of a bundle's "Frames" folder, decoded strictly, then with every frame left out whose
// window is not four positive sides inside the overlay or whose PNG is missing or is not w × h.
std::vector<FilmFrame> loadList(const std::filesystem::path& bundle);

// Decodes a PNG into a box, drawn into 8-bit premultiplied RGBA as the frames use it; null when
// the file cannot be read, is damaged, or is not expectedWidth × expectedHeight.
std::shared_ptr<const Box> decodeOverlay(const std::filesystem::path& png, int64_t expectedWidth,
                                         int64_t expectedHeight);

}  // namespace FilmFrames
