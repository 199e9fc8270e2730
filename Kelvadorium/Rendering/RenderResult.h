// What a renderer's job hands back to the GUI thread: its value, or the decoder's error, or the
// renderers' own error, as a value; or "stopped" when the renderer went away before the job ran.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "Conversion/DecodeError.h"
#include "Rendering/RenderError.h"

// The value of a job that returns nothing.
struct Done {};

template <class T>
class RenderResult {
 public:
  struct Stopped {};

  RenderResult() : state_(Stopped{}) {}
  RenderResult(T value) : state_(std::move(value)) {}
  RenderResult(DecodeError error) : state_(std::move(error)) {}
  RenderResult(RenderError error) : state_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<T>(state_); }
  bool stopped() const { return std::holds_alternative<Stopped>(state_); }
  // Only when ok().
  T& value() { return std::get<T>(state_); }
  const T& value() const { return std::get<T>(state_); }
  const DecodeError* decodeError() const { return std::get_if<DecodeError>(&state_); }
  const RenderError* renderError() const { return std::get_if<RenderError>(&state_); }
  // The error's description; empty when there is none.
  std::string errorText() const {
    if (const auto* e = decodeError()) return e->what();
    if (const auto* e = renderError()) return e->what();
    return {};
  }

 private:
  std::variant<Stopped, T, DecodeError, RenderError> state_;
};
