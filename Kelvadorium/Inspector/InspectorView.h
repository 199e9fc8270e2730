// The adjustments column beside the preview: twelve foldable sections in a fixed order that
// scroll together. It decides which sections exist for the selected scan's film type (no
// Colour section for a black-and-white negative), disables everything while no scan is
// selected (showing the default record's values), and reads the model into the open sections
// once per turn of the event loop. The settings bindings through which its controls read and
// write one field of the selected scan's record live here too.
#pragma once

#include <QScrollArea>
#include <QStringList>
#include <vector>

#include "Model/AppModel.h"
#include "Record/ConversionSettings.h"
#include "ViewKit/Binding.h"

class FoldSection;
class RefreshGate;

class InspectorView final : public QScrollArea {
  Q_OBJECT

 public:
  explicit InspectorView(AppModel& model, QWidget* parent = nullptr);

  AppModel& model() const { return model_; }

  // The selected scan is a black-and-white negative; false without a selection.
  bool isMonochrome() const;

  // One field of the selected scan's record, or of the default record without a selection.
  template <class T>
  T settingValue(T ConversionSettings::*field) const {
    const auto index = model_.selectedIndex();
    if (!index) return ConversionSettings::defaults().*field;
    return model_.items()[*index].settings.*field;
  }
  // Reads settingValue; writes the field through the model's edit of the selected scan, which
  // records nothing when the value is the one stored.
  template <class T>
  Binding<T> settingBinding(T ConversionSettings::*field) {
    return {[this, field] { return settingValue(field); },
            [this, field](T value) {
              model_.editSelected([&](ConversionSettings& s) { s.*field = value; });
            }};
  }

  // The sections in column order, the Colour section included while it is left out.
  const std::vector<FoldSection*>& sections() const { return sections_; }
  FoldSection* section(const QString& title) const;
  // The column's sections' fold keys and the HSL panel's: "fold." + each title.
  static QStringList foldKeys();

  // Runs a refresh the model asked for now rather than at the next turn.
  void refreshNow();

  QSize sizeHint() const override;

 private:
  void refresh();

  AppModel& model_;
  QWidget* column_;
  std::vector<FoldSection*> sections_;
  FoldSection* colour_ = nullptr;
  RefreshGate* gate_;
};
