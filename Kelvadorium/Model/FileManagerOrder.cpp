#include "Model/FileManagerOrder.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace FileManagerOrder {

QString displayText(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

void sort(std::vector<std::filesystem::path>& paths) {
  if (paths.size() < 2) return;
  // The C locale's collation ignores numbers; without a locale of their own users still
  // expect 2 before 10.
  QLocale locale;
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English);
  QCollator collator(locale);
  collator.setNumericMode(true);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  // Sort keys once per path: the comparisons then cost no collation work.
  std::vector<QCollatorSortKey> keys;
  keys.reserve(paths.size());
  for (const auto& path : paths) keys.push_back(collator.sortKey(displayText(path)));
  std::vector<size_t> order(paths.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int byCollation = keys[a].compare(keys[b]);
    if (byCollation != 0) return byCollation < 0;
    return paths[a].native() < paths[b].native();
  });
  std::vector<std::filesystem::path> sorted;
  sorted.reserve(paths.size());
  for (size_t index : order) sorted.push_back(std::move(paths[index]));
  paths = std::move(sorted);
}

}  // namespace FileManagerOrder
