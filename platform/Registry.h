#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Per-user key/value store standing in for the system registry. One human-readable file per key
// under the config directory. Every save replaces the whole file in one atomic step and keeps the
// previous generation beside it ("<key>.reg.bak"); a file that does not end with its end marker
// is damaged, and the previous generation is read instead.
namespace Platform {

// Tests point the store at a temporary folder; empty restores $XDG_CONFIG_HOME / ~/.config.
void SetRegistryRoot(const std::string& folder);
// The folder that holds every key's file.
std::string RegistryRoot();

class RegistryKey {
  public:
    // Opens or creates the key ("Software\Quillmarsh\Parlorix\Options"), reads its file and removes
    // temporary files that killed writers left. False only for a key name that cannot be a path;
    // a folder that cannot be created is logged, and every save then fails with that reason.
    [[nodiscard]] bool Open(const std::string& path);
    bool IsOpen() const { return open_; }

    [[nodiscard]] bool ReadDword(const std::string& name, uint32_t& out) const;
    // Copies at most cap-1 bytes plus the terminating zero; false and buffer untouched on failure.
    [[nodiscard]] bool ReadString(const std::string& name, char* buf, size_t cap) const;
    [[nodiscard]] bool ReadString(const std::string& name, std::string& out) const;

    // Each write outside a batch saves the file; false when the save failed (LastError says why,
    // the value is kept in memory and goes out with the next save).
    [[nodiscard]] bool WriteDword(const std::string& name, uint32_t value);
    [[nodiscard]] bool WriteString(const std::string& name, const std::string& value);

    // A batch: writes between Begin and Commit change memory only, and Commit saves them all in
    // one replacement of the file, so the file never holds a part of the batch. Batches nest; the
    // outermost Commit saves. Commit returns whether the save succeeded.
    void Begin();
    [[nodiscard]] bool Commit();

    // Reason of the last failed save; empty after a successful one.
    const std::string& LastError() const { return lastError_; }

    // Re-reads the file (another process may have written it).
    void Reload();
    const std::string& FilePath() const { return file_; }

  private:
    struct Value {
        bool isDword = false;
        uint32_t dword = 0;
        std::string text;
    };
    [[nodiscard]] bool Save();
    void KeepPreviousGeneration();
    bool open_ = false;
    bool damaged_ = false; // the file on disk is damaged: it must not become the previous generation
    int batch_ = 0;
    bool pending_ = false;
    std::string file_;
    std::string lastError_;
    std::map<std::string, Value> values_;
};

} // namespace Platform
