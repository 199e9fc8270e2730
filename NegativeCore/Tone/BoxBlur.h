// The running-sum box blur on planes, shared by the tone controls, the film effects, export
// sharpening, the healer and the dust finders. Its results are exact and reproducible: callers
// may rely on them bit for bit.
//
// Rules shared by every function here:
// - A plane is width × height 32-bit floats, row-major (index y·width + x).
// - Nothing works in place: each function reads `in` and writes a separate `out` (or returns a
//   new plane); the input is left alone.
// - One box pass of radius n replaces each value by the mean of the 2n + 1 values centred on it,
//   first along every row (row pass) and then along every column (column pass). Positions
//   beyond the ends of a row or column take the end value. A negative radius counts as 0.
// - The window sum is a 32-bit float: it starts as the sum of the values at positions −n…n in
//   that order, and after writing output[i] = sum/(2n + 1) it moves on by
//   sum += value[min(i + n + 1, last)] − value[max(i − n, 0)]. Every form below (one row, one
//   column, a block of columns, whole planes) keeps this order, so all give identical results.
// - The whole-plane functions split rows and column blocks over the worker pool; small planes
//   run on the calling thread. The single row, column and block kernels do no threading: they
//   are for callers that run their own parallel loops, and each writes only its own row or
//   columns of `out`.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace Adjustments {

// The blur used by the tone controls and the film effects: `passes` box passes of `radius`.
// Radii of 8 and more work on a reduced plane when it stays at least 8 × 8: factor
// f = min(radius, 35) div 4, the passes run there with radius
// max((radius + min(radius, 35) div 8) div f, 1), and the result is expanded bilinearly.
// Otherwise the passes run at full size with radius max(radius, 1). With passes ≤ 0 the plane
// is returned unchanged.
std::vector<float> boxBlur(const std::vector<float>& plane, int64_t width, int64_t height,
                           int64_t radius, int64_t passes);

// `passes` full-size box passes of `radius` (never reduced, radius used as given). This is the
// "box pass" of the dust finders and the healer, and the clarity control's blur.
std::vector<float> boxBlurFullSize(const std::vector<float>& plane, int64_t width, int64_t height,
                                   int64_t radius, int64_t passes);

// The row pass over every row and the column pass over every column of a plane.
void boxBlurRows(const float* in, float* out, int64_t width, int64_t height, int64_t radius);
void boxBlurColumns(const float* in, float* out, int64_t width, int64_t height, int64_t radius);

// Row pass of row y.
void boxBlurRowPass(const float* in, float* out, int64_t width, int64_t height, int64_t radius,
                    int64_t y);

// Column pass of column x. It walks memory with the plane's width as stride: a loop over
// single columns is several times slower than a row pass; prefer the block form.
void boxBlurColumnPass(const float* in, float* out, int64_t width, int64_t height, int64_t radius,
                       int64_t x);

// Column pass of the `count` adjacent columns x … x + count − 1, advanced together row by row.
// Each column's result equals boxBlurColumnPass bit for bit, at about the speed of a row pass.
// Blocks of boxBlurColumnBlock columns suit the cache; any count works.
void boxBlurColumnBlockPass(const float* in, float* out, int64_t width, int64_t height,
                            int64_t radius, int64_t x, int64_t count);
constexpr int64_t boxBlurColumnBlock = 64;

// The reduced path's two ends. boxBlurReduce: the plane of ceil(width/f) × ceil(height/f)
// means of f × f blocks (blocks at the right and bottom edges are cut at the plane's edge and
// averaged over the values they hold). boxBlurExpand: back to width × height by bilinear
// interpolation, output column x reading reduced position (x + 0.5)/f − 0.5 clamped to the
// reduced plane, rows likewise.
std::vector<float> boxBlurReduce(const std::vector<float>& plane, int64_t width, int64_t height,
                                 int64_t factor);
std::vector<float> boxBlurExpand(const std::vector<float>& reduced, int64_t reducedWidth,
                                 int64_t reducedHeight, int64_t width, int64_t height,
                                 int64_t factor);

// The result of boxBlur kept in the form the blur produced it: the full plane, or on the reduced
// path the reduced plane interpolated along its rows only. A caller that combines the blur with
// other planes pixel by pixel reads it row by row and never builds or re-reads a full plane.
// Rows equal those of boxBlur bit for bit.
class BlurredPlane {
 public:
  // Blurs exactly as boxBlur does. The first form only reads `plane`; the second may blur inside
  // the buffer it is given.
  BlurredPlane(const std::vector<float>& plane, int64_t width, int64_t height, int64_t radius,
               int64_t passes);
  BlurredPlane(std::vector<float>&& plane, int64_t width, int64_t height, int64_t radius,
               int64_t passes);
  // The plane to blur given row by row, so that a plane computed from other data need not be
  // stored: source(y, scratch) returns row y, a pointer to it or to `scratch` (width floats)
  // after filling it. Rows are asked for from several threads at once, in any order.
  using RowSource = std::function<const float*(int64_t y, float* scratch)>;
  BlurredPlane(const RowSource& source, int64_t width, int64_t height, int64_t radius,
               int64_t passes);
  BlurredPlane(BlurredPlane&&) = default;
  BlurredPlane& operator=(BlurredPlane&&) = default;
  ~BlurredPlane();  // hands its memory on for reuse

  // Row y (width values): a pointer into the held plane, or into `scratch` (width floats),
  // which it fills. Safe to call from several threads with separate scratch rows.
  const float* row(int64_t y, float* scratch) const;
  // The whole blurred plane, as boxBlur returns it.
  std::vector<float> plane() &&;

 private:
  void blur(const RowSource& source, const float* sourcePlane, int64_t radius, int64_t passes);

  int64_t width_ = 0;
  int64_t height_ = 0;
  int64_t factor_ = 0;  // 0: values_ is the full plane
  int64_t reducedHeight_ = 0;
  std::vector<float> values_;  // full plane, or reducedHeight_ rows of width_ values
};

}  // namespace Adjustments
