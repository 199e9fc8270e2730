// The model's panels and alerts, awaited from its operations on the GUI thread. The program's
// own implementation opens them window-modal with open(), never a nested exec(); tests script
// the answers.
#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <vector>

class DialogService {
 public:
  // An open panel of files and/or folders.
  struct OpenPanel {
    QString title;
    QString prompt;
    bool files = true;
    bool folders = false;
    bool multiple = true;
    QStringList extensions;  // lower case, matched in any letter case; empty: every file
    std::filesystem::path directory;
    QString message;  // shown above the files; empty: none
  };
  struct FolderPanel {
    QString title;
    QString prompt;
    std::filesystem::path directory;
  };
  // A save panel; the extension is appended when the name given has none.
  struct SavePanel {
    QString title;
    QString nameFilter;  // "Kelvadorium project (*.kelvadorium)"
    QString extension;
    QString suggestedName;
    std::filesystem::path directory;
  };
  // An alert; the first button is the default, "Cancel" the escape button.
  struct Alert {
    QString title;
    QString text;
    QStringList buttons;
  };

  virtual ~DialogService() = default;

  // The chosen paths; empty when cancelled.
  virtual QCoro::Task<std::vector<std::filesystem::path>> openPanel(OpenPanel panel) = 0;
  virtual QCoro::Task<std::optional<std::filesystem::path>> folderPanel(FolderPanel panel) = 0;
  virtual QCoro::Task<std::optional<std::filesystem::path>> savePanel(SavePanel panel) = 0;
  // The index of the button pressed, in the order of `buttons`.
  virtual QCoro::Task<int> alert(Alert alert) = 0;
};
