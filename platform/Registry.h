#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Per-user key/value store standing in for the system registry. One human-readable file per key
// under the config directory; every write replaces the file atomically.
namespace Platform {

// Tests point the store at a temporary folder; empty restores $XDG_CONFIG_HOME / ~/.config.
void SetRegistryRoot(const std::string& folder);

class RegistryKey {
  public:
    // Opens or creates the key ("Software\Quillmarsh\Parlorix\Options"). False when the store's
    // folder cannot be created.
    bool Open(const std::string& path);
    bool IsOpen() const { return open_; }

    bool ReadDword(const std::string& name, uint32_t& out) const;
    // Copies at most cap-1 bytes plus the terminating zero; false and buffer untouched on failure.
    bool ReadString(const std::string& name, char* buf, size_t cap) const;
    bool ReadString(const std::string& name, std::string& out) const;

    bool WriteDword(const std::string& name, uint32_t value);
    bool WriteString(const std::string& name, const std::string& value);

    // Re-reads the file (another process may have written it).
    void Reload();
    const std::string& FilePath() const { return file_; }

  private:
    struct Value {
        bool isDword = false;
        uint32_t dword = 0;
        std::string text;
    };
    bool Save();
    bool open_ = false;
    std::string file_;
    std::map<std::string, Value> values_;
};

} // namespace Platform
