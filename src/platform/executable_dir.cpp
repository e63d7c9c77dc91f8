#include "platform/executable_dir.h"

#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace tarnwick {

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

}  // namespace tarnwick
