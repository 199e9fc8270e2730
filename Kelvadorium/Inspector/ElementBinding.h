// The binding of a slider row to one number of a list inside the selected scan's record (a
// region of the tone curves, one band of the HSL lists): it reads 0 without a selection or when
// the stored list is too short, and writes the value unrounded through the edit of the selected
// scan, so a drag is one undo step.
#pragma once

#include <vector>

#include "Model/AppModel.h"
#include "ViewKit/Binding.h"

template <class Group>
Binding<double> elementBinding(AppModel& model, Group ConversionSettings::*group,
                               std::vector<double> Group::*list, size_t i) {
  return {[&model, group, list, i] {
            const auto index = model.selectedIndex();
            if (!index) return 0.0;
            const std::vector<double>& values = model.items()[*index].settings.*group.*list;
            return i < values.size() ? values[i] : 0.0;
          },
          [&model, group, list, i](double value) {
            model.editSelected([&](ConversionSettings& s) {
              std::vector<double>& values = s.*group.*list;
              if (i < values.size()) values[i] = value;
            });
          }};
}
