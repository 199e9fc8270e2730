// One undo entry: the whole record of one scan before and after a change, and the undo step it
// belongs to. Entries recorded by one operation on several scans share their group.
#pragma once

#include "Record/ConversionSettings.h"
#include "Support/Uuid.h"

struct HistoryEntry {
  Uuid group;
  Uuid id;  // the scan whose record changed
  ConversionSettings before;
  ConversionSettings after;  // replaced when a later edit merges into this entry
};
