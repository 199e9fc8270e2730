#include "Conversion/HeifReader.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>

#include "Conversion/DecodeError.h"
#include "Conversion/DecodeSize.h"

namespace {

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct NclxFree {
  void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

struct Primary {
  std::unique_ptr<heif_context, ContextFree> context;
  std::unique_ptr<heif_image_handle, HandleRelease> handle;
};

std::optional<Primary> openPrimary(const std::filesystem::path& url) {
  Primary primary;
  primary.context.reset(heif_context_alloc());
  if (!primary.context) return std::nullopt;
  if (heif_context_read_from_file(primary.context.get(), url.c_str(), nullptr).code !=
      heif_error_Ok)
    return std::nullopt;
  heif_image_handle* handle = nullptr;
  if (heif_context_get_primary_image_handle(primary.context.get(), &handle).code != heif_error_Ok)
    return std::nullopt;
  primary.handle.reset(handle);
  return primary;
}

// The nclx transfer curve as a pure power, or nothing for the sRGB curve.
std::optional<double> nclxGamma(heif_transfer_characteristics transfer) {
  switch (transfer) {
    case heif_transfer_characteristic_linear:
      return 1.0;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
      return 2.2;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
      return 2.8;
    default:
      return std::nullopt;
  }
}

void readColourSpace(const heif_image_handle* handle, SourceImage& image) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    image.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
    if (image.icc.empty() ||
        heif_image_handle_get_raw_color_profile(handle, image.icc.data()).code != heif_error_Ok)
      image.icc.clear();
    return;
  }
  heif_color_profile_nclx* raw = nullptr;
  if (heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok || !raw) return;
  std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
  Chromaticities c{nclx->color_primary_red_x,   nclx->color_primary_red_y,
                   nclx->color_primary_green_x, nclx->color_primary_green_y,
                   nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                   nclx->color_primary_white_x, nclx->color_primary_white_y};
  if (!(c.redY > 0 && c.greenY > 0 && c.blueY > 0 && c.whiteY > 0)) c = Chromaticities::sRGB();
  image.described = SourceImage::Described{c, nclxGamma(nclx->transfer_characteristics)};
}

}  // namespace

namespace HeifReader {

SourceImage read(const std::filesystem::path& url, const SizeCheck& check) {
  auto primary = openPrimary(url);
  if (!primary) throw DecodeError::unreadable(url);
  const heif_image_handle* handle = primary->handle.get();
  const int storedWidth = heif_image_handle_get_width(handle);
  const int storedHeight = heif_image_handle_get_height(handle);
  // HEVC codes a plain picture in almost nothing, so the file's length bounds nothing here.
  DecodeSize::checkStored(url, storedWidth, storedHeight, 0);
  check(storedWidth, storedHeight);

  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
  const heif_chroma chroma =
      deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* decoded = nullptr;
  if (heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, nullptr).code !=
          heif_error_Ok ||
      !decoded)
    throw DecodeError::unreadable(url);
  std::unique_ptr<heif_image, ImageRelease> pixels(decoded);

  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(decoded, heif_channel_interleaved);
  const int height = heif_image_get_height(decoded, heif_channel_interleaved);
  const int bits = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
  // The coded picture can claim another size than the checked one; a file that disagrees with
  // itself is damaged, and its pixels are never taken past the check.
  if (!plane || width != storedWidth || height != storedHeight || bits < 1 || bits > 16)
    throw DecodeError::unreadable(url);

  SourceImage image;
  image.allocate(width, height, alpha ? 4 : 3,
                 deep ? SourceImage::Sample::uint16 : SourceImage::Sample::uint8);
  image.sampleMax = (uint32_t{1} << bits) - 1;
  for (int y = 0; y < height; ++y)
    std::memcpy(image.row(y), plane + static_cast<size_t>(y) * stride, image.rowBytes());
  readColourSpace(handle, image);
  return image;
}

std::optional<std::pair<int64_t, int64_t>> pixelSize(const std::filesystem::path& url,
                                                     bool upright) {
  auto primary = openPrimary(url);
  if (!primary) return std::nullopt;
  if (upright)
    return std::pair<int64_t, int64_t>{heif_image_handle_get_width(primary->handle.get()),
                                       heif_image_handle_get_height(primary->handle.get())};
  return std::pair<int64_t, int64_t>{heif_image_handle_get_ispe_width(primary->handle.get()),
                                     heif_image_handle_get_ispe_height(primary->handle.get())};
}

}  // namespace HeifReader
