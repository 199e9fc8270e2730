// Bilinear samples of a premultiplied 32-bit picture along a row of device pixels, for a
// picture drawn turned. Positions are in 1/65536 of a texel, texel centres on whole numbers.
#pragma once

#include <QtGlobal>

namespace TurnSampler {

// The bilinear mean of four premultiplied pixels, two channels at a time; fx and fy in 1/256.
inline quint32 mix(quint32 tl, quint32 tr, quint32 bl, quint32 br, quint32 fx, quint32 fy) {
  const quint32 w11 = (fx * fy) >> 8;
  const quint32 w10 = fx - w11;
  const quint32 w01 = fy - w11;
  const quint32 w00 = 256 - fx - fy + w11;
  const quint32 rb = ((tl & 0xff00ff) * w00 + (tr & 0xff00ff) * w10 + (bl & 0xff00ff) * w01 +
                      (br & 0xff00ff) * w11) >>
                     8;
  const quint32 ag = ((tl >> 8) & 0xff00ff) * w00 + ((tr >> 8) & 0xff00ff) * w10 +
                     ((bl >> 8) & 0xff00ff) * w01 + ((br >> 8) & 0xff00ff) * w11;
  return (rb & 0xff00ff) | (ag & 0xff00ff00);
}

// A premultiplied sample over what `out` holds.
inline void over(quint32& out, quint32 sample) {
  const quint32 alpha = sample >> 24;
  if (alpha == 255) {
    out = sample;
  } else if (alpha != 0) {
    // Each channel of out times (255 − alpha) / 255, rounded.
    const quint32 keep = 255 - alpha;
    quint32 rb = (out & 0xff00ff) * keep + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xff00ff)) >> 8) & 0xff00ff;
    quint32 ag = ((out >> 8) & 0xff00ff) * keep + 0x800080;
    ag = (ag + ((ag >> 8) & 0xff00ff)) & 0xff00ff00;
    out = sample + (rb | ag);
  }
}

// Writes `count` samples to `out`, the k-th at (u + k·stepU, v + k·stepV); every sample's four
// texels must lie inside the picture, `width` pixels across and `stride` pixels per row. With
// `blend` the samples go over what `out` holds, else they replace it. Uses the widest vector unit
// the processor has.
void inner(const quint32* pixels, int width, qsizetype stride, qint64 u, qint64 v, qint64 stepU,
           qint64 stepV, quint32* out, int count, bool blend);

// The same without the wide vector unit, for comparing the two.
void innerNarrow(const quint32* pixels, int width, qsizetype stride, qint64 u, qint64 v,
                 qint64 stepU, qint64 stepV, quint32* out, int count, bool blend);

}  // namespace TurnSampler
