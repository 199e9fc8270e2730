// The texts of the measuring actions (even light, roll balance, reference match, copying the
// look) and the rounded percentages they report.
#pragma once

#include <QString>
#include <cstddef>

namespace MeasuringMessages {

// How much darker the blank frame's corners are than its middle, in whole percent:
// (1 − cornerLevel) · 100 worked in single precision (the level's own precision), halves away
// from zero; negative when the corners are brighter.
int cornerPercent(float cornerLevel);
// "Even Light Correction set for 1 scan. The corners were 12% darker than the middle; that is
// now corrected.", or the "already very even" detail under 2 %.
QString flatFieldSet(size_t targets, float cornerLevel);

// "Roll colour balance measured on 4 frames and applied to them. Ctrl+Z undoes it."
QString rollMeasured(int frames);
// The notice when the roll has fewer than two frames.
QString rollNeedsFrames();

// How much closer the match came, in whole percent, halves away from zero; 0 when `before` is
// not above 0 or either error is not a number, and never below −1000000.
int matchPercent(double before, double after);
// The notice naming the photo by its file name, for the same picture or a different one.
QString matched(const QString& photoName, bool samePicture, int percent);
QString unreadablePhoto();
// "Could not read the scan “<file name>”."
QString unreadableScan(const QString& scanName);

// "Look copied to 3 other images (crop, rotation and healed spots stay per image)."
QString lookCopied(size_t otherImages);

}  // namespace MeasuringMessages
