// The headless self-test export, for developers and build scripts: with KV_SELFTEST_EXPORT set to
// "<scan path>|<output folder>" it converts the scan with the default record as a colour
// negative, writes a 16-bit Adobe RGB TIFF into the folder, and ends the process.
#pragma once

// Returns at once when KV_SELFTEST_EXPORT is not set. Otherwise prints one line per written
// file ("selftest: wrote <name>") and ends with status 0; a failed decode or export prints
// "selftest: error <description>" and ends with status 1; a value that is not two non-empty
// paths around one "|" prints "selftest: bad spec" and ends with status 2.
void selfTestExportHook();
