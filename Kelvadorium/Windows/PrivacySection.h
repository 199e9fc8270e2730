// The Privacy group of the Settings window: the two telemetry switches, what they mean, the
// collected data and the diagnostics export. The check boxes show the switches and write them
// only on the user's click; switching off deletes what was kept (the telemetry's own effect).
#pragma once

#include <QGroupBox>

#include "Services/TaskHandle.h"

class DialogService;
class QCheckBox;
class Telemetry;
class Workspace;

class PrivacySection final : public QGroupBox {
  Q_OBJECT

 public:
  PrivacySection(Telemetry& telemetry, DialogService& dialogs, Workspace& workspace,
                 QWidget* parent = nullptr);
  ~PrivacySection() override;

  // Opens "Collected data" over the window, with the summary of this moment.
  void showCollectedData();

 private:
  void refresh();

  Telemetry& telemetry_;
  DialogService& dialogs_;
  Workspace& workspace_;
  QCheckBox* analytics_;
  QCheckBox* crashes_;
  TaskHandle exportTask_;
};
