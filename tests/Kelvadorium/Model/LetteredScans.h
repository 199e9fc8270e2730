// A model holding scans named by letters (A, B, C, …) that exist only as list entries, and the
// translations between ids and letters, so that selection and mark tables read as "BCD".
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Model/AppModel.h"
#include "Testing/TestServices.h"

struct LetteredScans {
  explicit LetteredScans(int count) : model(services.services()) {
    std::vector<ImageItem> items;
    for (int i = 0; i < count; ++i) {
      ImageItem item;
      item.url = std::string("/scans/") + static_cast<char>('a' + i) + ".tif";
      items.push_back(item);
    }
    model.setItems(std::move(items));
  }

  // The selection, the marks and the range anchor before the step under test.
  void start(char selected, const std::string& marks, char anchor) {
    model.setSelection(id(selected));
    model.setMarked(ids(marks));
    model.plain().rangeAnchor = id(anchor);
  }

  // The id of the scan with that letter; '-' for none; a letter past the list names an id of no
  // scan, the same one each time.
  std::optional<Uuid> id(char letter) const {
    if (letter == '-') return std::nullopt;
    const size_t index = static_cast<size_t>(letter - 'A');
    if (index < model.items().size()) return model.items()[index].id;
    return strays.try_emplace(letter, Uuid::random()).first->second;
  }
  std::set<Uuid> ids(const std::string& letters) const {
    std::set<Uuid> set;
    for (char c : letters) set.insert(*id(c));
    return set;
  }
  // The letter of an id: '-' for none, '?' for an id of no scan.
  char letter(const std::optional<Uuid>& value) const {
    if (!value) return '-';
    const std::optional<size_t> index = indexOf(*value);
    return index ? static_cast<char>('A' + *index) : '?';
  }
  std::string letters(const std::vector<Uuid>& values) const {
    std::string text;
    for (const Uuid& value : values) text += letter(value);
    return text;
  }
  // Marks in list order, a '?' for each mark of no scan.
  std::string marks() const {
    std::string text;
    for (const ImageItem& item : model.items()) {
      if (model.marked().contains(item.id)) text += letter(item.id);
    }
    for (const Uuid& mark : model.marked()) {
      if (!indexOf(mark)) text += '?';
    }
    return text;
  }
  std::optional<size_t> indexOf(const Uuid& value) const {
    const std::vector<ImageItem>& items = model.items();
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].id == value) return i;
    }
    return std::nullopt;
  }
  char anchor() const { return letter(model.plain().rangeAnchor); }
  char selected() const { return letter(model.selection()); }

  TestServices services;
  AppModel model;
  mutable std::map<char, Uuid> strays;
};

// Whether requestRender counts its requests in renderGen yet; until the render loop does,
// tests of render requests have nothing to observe.
inline bool renderRequestsCounted() {
  TestServices services;
  AppModel model(services.services());
  model.requestRender();
  return model.plain().renderGen > 0;
}
