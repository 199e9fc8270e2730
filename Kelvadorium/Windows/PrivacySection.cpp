#include "Windows/PrivacySection.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Services/Telemetry.h"
#include "Windows/CollectedDataDialog.h"
#include "Windows/FontRoles.h"

PrivacySection::PrivacySection(Telemetry& telemetry, DialogService& dialogs,
                               Workspace& workspace, QWidget* parent)
    : QGroupBox("Privacy", parent), telemetry_(telemetry), dialogs_(dialogs), workspace_(workspace) {
  setObjectName("privacyGroup");
  auto* rows = new QVBoxLayout(this);
  analytics_ = new QCheckBox("Share anonymous usage statistics");
  analytics_->setObjectName("shareStatistics");
  crashes_ = new QCheckBox("Send crash reports");
  crashes_->setObjectName("sendCrashReports");
  rows->addWidget(analytics_);
  rows->addWidget(crashes_);

  auto* note = new QLabel(
      "Off unless you switch them on. Never collected: your photos, file or folder names, "
      "settings or anything personal; only which features are used and how often, and crash "
      "logs with personal paths removed. Switching off deletes what was collected.");
  note->setObjectName("privacyNote");
  note->setWordWrap(true);
  FontRoles::apply(*note, FontRole::caption, true);
  rows->addWidget(note);

  auto* buttons = new QHBoxLayout;
  auto* show = new QPushButton("Show Collected Data…");
  show->setObjectName("showCollectedData");
  show->setAutoDefault(false);
  auto* exportButton = new QPushButton("Export Diagnostics…");
  exportButton->setObjectName("exportDiagnostics");
  exportButton->setAutoDefault(false);
  exportButton->setToolTip(
      "Saves the statistics and crash reports to a folder, so you can e-mail them yourself");
  buttons->addWidget(show);
  buttons->addWidget(exportButton);
  buttons->addStretch();
  rows->addLayout(buttons);

  connect(analytics_, &QCheckBox::clicked, this,
          [this](bool on) { telemetry_.setAnalyticsEnabled(on); });
  connect(crashes_, &QCheckBox::clicked, this,
          [this](bool on) { telemetry_.setCrashReportsEnabled(on); });
  connect(show, &QPushButton::clicked, this, &PrivacySection::showCollectedData);
  connect(exportButton, &QPushButton::clicked, this, [this] {
    if (exportTask_ && !exportTask_.isFinished()) return;
    exportTask_ = TaskHandle::start([this](std::stop_token) {
      return telemetry_.exportDiagnostics(dialogs_, workspace_);
    });
  });
  connect(&telemetry_, &Telemetry::switchesChanged, this, &PrivacySection::refresh);
  refresh();
}

PrivacySection::~PrivacySection() { exportTask_.cancel(); }

void PrivacySection::refresh() {
  const QSignalBlocker analyticsBlocker(analytics_);
  analytics_->setChecked(telemetry_.analyticsEnabled());
  const QSignalBlocker crashesBlocker(crashes_);
  crashes_->setChecked(telemetry_.crashReportsEnabled());
}

void PrivacySection::showCollectedData() {
  auto* dialog = new CollectedDataDialog(telemetry_.summaryText(), window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}
