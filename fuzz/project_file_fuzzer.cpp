// A project file read from disk: never more than the errors it documents, and a project that
// reads writes and reads back the same.
#include <nlohmann/json.hpp>

#include "Export/ProjectFile.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto path = FuzzSupport::writeInput(data, size, "input.kelvadorium");
  ProjectFile project;
  try {
    project = ProjectFile::read(path);
  } catch (const nlohmann::json::exception&) {
    return 0;
  } catch (const std::filesystem::filesystem_error&) {
    return 0;
  }
  const auto copy = FuzzSupport::scratchFolder() / "copy.kelvadorium";
  ProjectFile::write(project, copy);
  const ProjectFile again = ProjectFile::read(copy);
  if (again.app != project.app || again.version != project.version ||
      again.savedAt != project.savedAt || again.images != project.images ||
      again.selectedIndex != project.selectedIndex)
    FuzzSupport::fail("the project reads back differently");
  return 0;
}
