// "Collected data": the telemetry summary as it was when the dialog was made, read-only and
// selectable in the fixed font, with "Close" as the default button.
#pragma once

#include <QDialog>

class CollectedDataDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit CollectedDataDialog(const QString& summary, QWidget* parent = nullptr);
};
