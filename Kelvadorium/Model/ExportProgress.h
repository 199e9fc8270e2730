// Progress of a running export: scans finished, scans in the export, and the file name of the
// scan in work.
#pragma once

#include <QString>

struct ExportProgress {
  int done = 0;
  int total = 0;
  QString current;

  friend bool operator==(const ExportProgress&, const ExportProgress&) = default;
};
