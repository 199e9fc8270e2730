// Project files handed to the program from outside while it runs (a second launch, the file
// manager): each file with the project extension opens at once when the model exists, else
// waits in the queue that the main window's first appearance drains. Other files are ignored.
#pragma once

#include <filesystem>
#include <functional>
#include <vector>

namespace AppDelegate {

// The files received while no model existed, in the order received.
std::vector<std::filesystem::path>& pendingProjectURLs();

void openProjectFiles(const std::vector<std::filesystem::path>& urls);

// Who opens a project while the model exists; the application sets it with the model and clears
// it before the model goes.
void setProjectOpener(std::function<void(std::filesystem::path)> opener);

}  // namespace AppDelegate
