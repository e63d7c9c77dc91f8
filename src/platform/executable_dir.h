#pragma once
// The folder of the running program's executable: where the option files live by default.

#include <filesystem>

namespace tarnwick {

// The folder holding the running executable, or the current folder when it cannot be found.
std::filesystem::path ExecutableFolder();

}  // namespace tarnwick
