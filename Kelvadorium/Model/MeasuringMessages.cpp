#include "Model/MeasuringMessages.h"

#include <QKeySequence>
#include <algorithm>
#include <cmath>

namespace {

// The Undo shortcut as the platform writes it ("Ctrl+Z", on a Mac the command key).
QString undoKey() { return QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText); }

}  // namespace

namespace MeasuringMessages {

int cornerPercent(float cornerLevel) {
  // Single precision throughout: 0.675 reads 33 here, 32 if widened to double first.
  const float percent = (1.0f - cornerLevel) * 100.0f;
  return static_cast<int>(std::lround(percent));
}

QString flatFieldSet(size_t targets, float cornerLevel) {
  const int percent = cornerPercent(cornerLevel);
  const QString detail = percent < 2
                             ? QStringLiteral(
                                   "This setup is already very even (corners within 2% of the "
                                   "middle).")
                             : "The corners were " + QString::number(percent) +
                                   "% darker than the middle; that is now corrected.";
  return "Even Light Correction set for " + QString::number(targets) +
         (targets == 1 ? " scan. " : " scans. ") + detail;
}

QString rollMeasured(int frames) {
  return "Roll colour balance measured on " + QString::number(frames) +
         " frames and applied to them. " + undoKey() + " undoes it.";
}

QString rollNeedsFrames() {
  return QStringLiteral("Roll Analysis needs at least two colour frames of the same film type.");
}

int matchPercent(double before, double after) {
  if (!(before > 0)) return 0;
  const double percent = (1 - after / before) * 100;
  // Kept to a number an int holds, however far the errors lie apart.
  if (!std::isfinite(percent)) return 0;
  return static_cast<int>(std::lround(std::clamp(percent, -1e6, 100.0)));
}

QString matched(const QString& photoName, bool samePicture, int percent) {
  // Joined by hand: a file name may hold "%1".
  if (samePicture) {
    return "Matched to " + photoName + ": " + QString::number(percent) +
           "% closer. Every adjustment stays editable; " + undoKey() + " undoes it.";
  }
  return photoName + " is a different picture, so the overall tones and colours were matched (" +
         QString::number(percent) + "% closer). " + undoKey() + " undoes it.";
}

QString unreadablePhoto() { return QStringLiteral("Could not read that photo."); }

QString unreadableScan(const QString& scanName) {
  return "Could not read the scan “" + scanName + "”.";
}

QString lookCopied(size_t otherImages) {
  return "Look copied to " + QString::number(otherImages) +
         " other images (crop, rotation and healed spots stay per image).";
}

}  // namespace MeasuringMessages
