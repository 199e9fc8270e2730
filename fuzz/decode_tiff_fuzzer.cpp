// A TIFF file through the decoder.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSupport::decodeImage(data, size, "input.tif");
  return 0;
}
