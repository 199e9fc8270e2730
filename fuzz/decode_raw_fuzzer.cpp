// A DNG file through the decoder: LibRaw, and the TIFF reader when LibRaw refuses it.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzSupport::decodeImage(data, size, "input.dng");
  return 0;
}
