#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"

// Line-oriented configuration documents ("[Section]" headers, "key = value" lines), used for
// library.ini, animation files and item files; the process-wide instance (the settings store)
// also holds the open registry key of the user's options.
class ConfigDoc {
  public:
    struct Entry {
        std::string key;
        std::string value;
        int32_t intValue = 0;
        double realValue = 0.0;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        // Position of the first entry of each key: files with numbered keys ("name1", "name2", ...)
        // are read key by key, which a linear search made quadratic.
        std::unordered_map<std::string, size_t, KeyHash, std::equal_to<>> index;
    };

    // Replaces the whole content by the parsed file; false only when the file cannot be opened.
    [[nodiscard]] bool Load(const char* path);
    // Parses text already in memory (same rules as Load).
    void Parse(const char* text, size_t length);
    void Clear() { sections_.clear(); }

    // section nullptr means "Default".
    bool Get(std::string& out, const char* key, const char* section = nullptr) const;
    // Copies at most cap-1 bytes; the buffer is emptied first.
    void GetText(char* buf, size_t cap, const char* key, const char* section = nullptr) const;
    int32_t GetInt(const char* key, const char* section = nullptr) const;
    double GetReal(const char* key, const char* section = nullptr) const;
    // 1 for "true", 0 for "false" (any case), otherwise the decimal conversion; 0 when missing.
    int32_t GetBool(const char* key, const char* section = nullptr) const;

    const Entry* Find(const char* key, const char* section = nullptr) const;
    const Section* FindSection(const char* section) const;
    const std::vector<Section>& Sections() const { return sections_; }

    // Registry key of the settings store.
    [[nodiscard]] bool OpenKey(const char* path);
    [[nodiscard]] bool ReadDword(uint32_t& out, const char* name) const;
    void WriteDword(uint32_t value, const char* name);
    // Bounded by the caller's buffer; untouched on failure.
    [[nodiscard]] bool ReadString(char* buf, size_t cap, const char* name) const;
    void WriteString(const char* value, const char* name);
    Platform::RegistryKey& Key() { return key_; }

  private:
    std::vector<Section> sections_;
    Platform::RegistryKey key_;
};

// The process-wide settings store.
extern ConfigDoc g_Settings;

// The standard decimal conversions used for entry values.
int32_t ParseDecimal(const char* text);
double ParseReal(const char* text);
