#pragma once
// Where the running program and its files are: the executable's folder, the data installed with
// it, and the folder of the option files.

#include <filesystem>

namespace tarnwick {

// The folder holding the running executable, or the current folder when it cannot be found.
std::filesystem::path ExecutableFolder();

// The read-only data installed with a program in PREFIX/bin (the manual, the sample option files):
// PREFIX/share/tarnwick when that folder exists, else empty (a program run from its build folder).
std::filesystem::path InstalledDataFolder(const std::filesystem::path& executableFolder);

// The user's own configuration folder for the program: $XDG_CONFIG_HOME/Corvanti/Tarnwick, with
// ~/.config when XDG_CONFIG_HOME is not set (%LOCALAPPDATA%\Corvanti\Tarnwick on Windows), the
// folder Qt names the application's configuration location. Empty when no home is known.
std::filesystem::path UserConfigFolder();

// The folder of the option files (version table, conditional defines, templates, auto-replace)
// when TARNWICK_CONFIG_DIR does not name one. A program run from its build folder keeps them
// beside the executable. An installed program's folder is read-only, so it keeps them in the
// user's configuration folder; on the first run the installed samples are copied there (a file
// the user has is never replaced, and a copy that fails leaves the file missing, which reading
// it reports).
std::filesystem::path DefaultOptionFolder(const std::filesystem::path& executableFolder);

}  // namespace tarnwick
