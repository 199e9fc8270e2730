// The renderers' own error: making a displayable image from the rendered pixels failed.
#pragma once

#include <stdexcept>

class RenderError : public std::runtime_error {
 public:
  enum class Kind { encode };

  // "the image could not be made"
  static RenderError encode() { return RenderError(Kind::encode, "the image could not be made"); }

  Kind kind() const { return kind_; }

 private:
  RenderError(Kind kind, const char* text) : std::runtime_error(text), kind_(kind) {}

  Kind kind_;
};
