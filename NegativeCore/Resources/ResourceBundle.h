// Finds the library's resource bundle, the folder "Kelvadorium_NegativeCore.bundle" that holds
// the film-holder frames ("Frames") and the packaged dust model ("Models"), and looks resources
// up in it by name, extension and subfolder. The bundle is looked up once per process.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace ResourceBundle {

inline constexpr std::string_view bundleName = "Kelvadorium_NegativeCore.bundle";

// The folders a bundle is sought in, in order, each only when it exists: the installed
// resources (share/kelvadorium of the install prefix, found from the resolved executable in
// its bin folder, so an installed tree can move), the folder of the executable as it was
// invoked (so a symbolic link counts; a relative path counts from the folder the program started
// in), the folder of the resolved executable.
std::vector<std::filesystem::path> candidateFolders();

// The first candidate folder + bundleName that is a folder; searched anew on every call.
std::optional<std::filesystem::path> findResourceBundle();

// findResourceBundle's answer on first use, kept for the life of the process.
const std::optional<std::filesystem::path>& resourceBundle();

// bundle/subfolder/name.extension when that regular file exists. A name or subfolder that
// would leave the bundle (absolute, "..", empty name) finds nothing.
std::optional<std::filesystem::path> resource(const std::filesystem::path& bundle,
                                              std::string_view name, std::string_view extension,
                                              std::string_view subfolder);

// The same lookup in resourceBundle(); nothing when there is no bundle.
std::optional<std::filesystem::path> resource(std::string_view name, std::string_view extension,
                                              std::string_view subfolder);

}  // namespace ResourceBundle
