// The About window as a picture, for developers and build scripts: with KV_RENDER_ABOUT set to
// a file path it writes a PNG of the window at twice its size and ends the process, before any
// window is shown. No display is needed: without QT_QPA_PLATFORM it draws offscreen.
#pragma once

// Returns at once when KV_RENDER_ABOUT is not set. Otherwise ends with status 0 once the PNG is
// written, and with status 1 and one line on standard error when it was not (an empty path, a
// folder that cannot be written).
void renderViewSnapshotHook(int& argc, char** argv);
