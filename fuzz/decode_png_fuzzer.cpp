// A PNG file through the decoder.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSupport::decodeImage(data, size, "input.png");
  return 0;
}
