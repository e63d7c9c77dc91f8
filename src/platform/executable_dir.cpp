#include "platform/executable_dir.h"

#include <cstdlib>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick {

namespace {

// The option files an installed program brings as samples.
constexpr const char* kOptionFiles[] = {"tarnwick.edf", "tarnwick.cdf", "tarnwick.tpl", "tarnwick.arp"};

fs::path FromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? fs::path(value) : fs::path();
}

}  // namespace

fs::path ExecutableFolder()
{
    std::error_code ec;
#if defined(_WIN32)
    wchar_t buffer[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n > 0 && n < std::size(buffer)) return fs::path(std::wstring(buffer, n)).parent_path();
#else
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return exe.parent_path();
#endif
    return fs::current_path(ec);
}

fs::path InstalledDataFolder(const fs::path& executableFolder)
{
    if (executableFolder.filename() != "bin") return {};
    const fs::path data = executableFolder.parent_path() / "share" / "tarnwick";
    std::error_code ec;
    return fs::is_directory(data, ec) ? data : fs::path();
}

fs::path UserConfigFolder()
{
#if defined(_WIN32)
    const fs::path base = FromEnvironment("LOCALAPPDATA");
#else
    fs::path base = FromEnvironment("XDG_CONFIG_HOME");
    if (base.empty() || !base.is_absolute()) {
        const fs::path home = FromEnvironment("HOME");
        base = home.empty() ? fs::path() : home / ".config";
    }
#endif
    return base.empty() ? fs::path() : base / "Corvanti" / "Tarnwick";
}

fs::path DefaultOptionFolder(const fs::path& executableFolder)
{
    const fs::path data = InstalledDataFolder(executableFolder);
    const fs::path user = UserConfigFolder();
    if (data.empty() || user.empty()) return executableFolder;
    std::error_code ec;
    fs::create_directories(user, ec);
    for (const char* name : kOptionFiles) {
        const fs::path sample = data / name;
        const fs::path own = user / name;
        if (fs::exists(own, ec) || ec || !fs::is_regular_file(sample, ec)) continue;
        // Copied under a temporary name and renamed, so that a copy cut short never passes for
        // the user's file.
        const fs::path partial = user / (std::string(name) + ".partial");
        std::error_code failed;
        if (fs::copy_file(sample, partial, fs::copy_options::overwrite_existing, failed))
            fs::rename(partial, own, failed);
        if (failed) fs::remove(partial, ec);
    }
    return user;
}

}  // namespace tarnwick
