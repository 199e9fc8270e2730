// Vectorised transcendental maths for hot pixel loops (Google Highway, dispatched at run time to
// the best instruction set of the machine). GCC does not vectorise calls to logf/expf without
// -ffast-math; these array forms do. Each result is within 4 ULP of the scalar libm function
// for normal, finite inputs and results; scalar forms remain correct everywhere else.
// In-place use (out == in) is allowed.
#pragma once

#include <cstddef>

namespace VectorMath {

void log10(const float* in, float* out, size_t count);
void log(const float* in, float* out, size_t count);
void exp(const float* in, float* out, size_t count);
// out[i] = 10^in[i]
void exp10(const float* in, float* out, size_t count);
// out[i] = in[i]^exponent for in[i] > 0, and 0 for in[i] ≤ 0 (callers clamp first). Computed as
// exp(exponent·log(x)), so the error grows with |exponent·log(x)|: within 8 ULP while that is
// below 20.
void pow(const float* in, float exponent, float* out, size_t count);

}  // namespace VectorMath
