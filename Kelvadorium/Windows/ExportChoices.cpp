#include "Windows/ExportChoices.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace ExportChoices {

QString title(size_t targets) {
  return QString("Export %1 image%2").arg(targets).arg(targets == 1 ? "" : "s");
}

std::vector<ExportFormat> toggled(std::vector<ExportFormat> formats, ExportFormat format,
                                  bool on) {
  if (on) {
    if (std::find(formats.begin(), formats.end(), format) == formats.end()) {
      formats.push_back(format);
    }
  } else {
    std::erase(formats, format);
  }
  return formats;
}

QString qualityText(double quality) {
  const double shown = std::trunc(std::clamp(quality, 0.0, 1.0) * 100);
  return QString::number(static_cast<int>(std::isnan(shown) ? 0 : shown));
}

QString exampleName(const std::optional<std::filesystem::path>& firstTarget, const QString& suffix,
                    const std::vector<ExportFormat>& formats) {
  // The last extension only, and a leading dot is part of the name (".hidden" stays).
  const QString base = firstTarget ? QFile::decodeName(firstTarget->filename().stem().c_str())
                                   : QString("DSC_0001");
  const bool jpeg = !formats.empty() && formats.front() == ExportFormat::jpeg;
  return base + suffix + "." + (jpeg ? "jpg" : "tif");
}

std::optional<double> parsedEdge(const QString& text, const QLocale& locale) {
  bool ok = false;
  const double value = locale.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

QString edgeText(double edge, const QLocale& locale) {
  QLocale plain = locale;
  plain.setNumberOptions(QLocale::OmitGroupSeparator);
  return plain.toString(edge, 'g', 12);
}

int64_t longEdge(double edge) {
  const double bounded = std::isnan(edge) ? smallestEdge : std::clamp(edge, smallestEdge, largestEdge);
  return static_cast<int64_t>(std::trunc(bounded));
}

}  // namespace ExportChoices
