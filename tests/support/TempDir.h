#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A fresh folder under the system temp directory, removed with everything in it at scope end.
// The process's current directory is moved into it while it lives, and restored afterwards.
class TempDir {
  public:
    explicit TempDir(bool enter = true) : enter_(enter) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "parlorix-test-XXXXXX").string();
        char* made = ::mkdtemp(tmpl.data());
        path_ = made ? made : tmpl;
        if (enter_) {
            old_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (enter_) std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Writes `bytes` to `rel` (slashes), creating folders on the way.
    void Write(const std::string& rel, const std::string& bytes) const {
        std::filesystem::path p = std::filesystem::path(path_) / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(std::filesystem::path(path_) / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    bool enter_;
    std::string path_;
    std::filesystem::path old_;
};
