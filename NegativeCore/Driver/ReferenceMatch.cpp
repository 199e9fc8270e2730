#include "Driver/ReferenceMatch.h"

#include "Driver/ReferenceSearch.h"

namespace ReferenceMatch {

Result match(const LinearImage& scan, const ConversionSettings& settings,
             const ReferencePicture& reference, const Progress& progress) {
  return ReferenceSearch(scan, settings, reference).run(progress);
}

}  // namespace ReferenceMatch
