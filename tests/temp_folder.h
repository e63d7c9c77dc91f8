#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace tarnwick::testing {

class TempFolder {
public:
    TempFolder()
    {
        std::random_device rd;
        path_ =
            std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    std::filesystem::path Write(std::string_view name, std::string_view data) const
    {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
        return file;
    }
    std::string Read(std::string_view name) const
    {
        std::ifstream in(path_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};

}  // namespace tarnwick::testing
