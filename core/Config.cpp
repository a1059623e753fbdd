#include "core/Config.h"

#include "core/FileLayer.h"
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>

ConfigDoc g_Settings;

int32_t ParseDecimal(const char* text) {
    if (!text) return 0;
    errno = 0;
    long long v = std::strtoll(text, nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

double ParseReal(const char* text) {
    return text ? std::strtod(text, nullptr) : 0.0;
}

namespace {

constexpr size_t kLineMax = 4096;
constexpr size_t kKeyMax = 256;

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

} // namespace

bool ConfigDoc::Load(const char* path) {
    Clear();
    if (!path) return false;
    if (uint8_t* buf = FileLayer::Load(path)) {
        Parse(reinterpret_cast<const char*>(buf), FileLayer::LastLoadedSize());
        FileLayer::Free(buf);
        return true;
    }
    FILE* f = Platform::OpenFile(path, "rb");
    if (!f) return false;
    std::string text;
    char chunk[8192];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    std::fclose(f);
    Parse(text.data(), text.size());
    return true;
}

void ConfigDoc::Parse(const char* text, size_t length) {
    Clear();
    std::string current = "Default";
    size_t section = SIZE_MAX; // index of the current section, once it has an entry
    size_t pos = 0;
    std::string copy; // a line with carriage returns, without them
    while (pos < length) {
        const void* feed = std::memchr(text + pos, '\n', length - pos);
        const size_t end = feed ? size_t(static_cast<const char*>(feed) - text) : length;
        // Carriage returns are dropped wherever they stand; overlong lines are cut.
        std::string_view line(text + pos, std::min(end - pos, kLineMax - 1));
        if (std::memchr(text + pos, '\r', end - pos)) {
            copy.clear();
            for (size_t i = pos; i < end; ++i)
                if (text[i] != '\r' && copy.size() < kLineMax - 1) copy += text[i];
            line = copy;
        }
        pos = end + 1; // the line feed
        if (line.empty()) continue;

        constexpr size_t npos = std::string_view::npos;
        size_t open = line.find('[');
        if (open != npos && line.find(']') != npos) {
            size_t close = line.find(']', open + 1);
            current = line.substr(open + 1, close == npos ? npos : close - open - 1);
            section = SIZE_MAX;
            continue;
        }

        size_t k = line.find_first_not_of('=');
        if (k == npos) k = line.size();
        size_t eq = line.find('=', k);
        std::string_view key = line.substr(k, eq == npos ? npos : eq - k);
        std::string_view value;
        if (eq != npos) {
            size_t next = line.find('=', eq + 1);
            value = line.substr(eq + 1, next == npos ? npos : next - eq - 1);
        }
        if (key.size() >= kKeyMax) key = key.substr(0, kKeyMax - 1);
        Entry e;
        e.key = Trim(key);
        e.value = Trim(value);
        e.intValue = ParseDecimal(e.value.c_str());
        e.realValue = ParseReal(e.value.c_str());

        if (section == SIZE_MAX) {
            auto it = std::find_if(sections_.begin(), sections_.end(),
                                   [&](const Section& s) { return s.name == current; });
            section = size_t(it - sections_.begin());
            if (it == sections_.end()) sections_.push_back({current, {}, {}});
        }
        sections_[section].entries.push_back(std::move(e));
    }
    for (Section& s : sections_)
        for (size_t i = 0; i < s.entries.size(); ++i)
            s.index.try_emplace(s.entries[i].key, i);
}

const ConfigDoc::Section* ConfigDoc::FindSection(const char* section) const {
    const char* name = section ? section : "Default";
    for (const Section& s : sections_)
        if (s.name == name) return &s;
    return nullptr;
}

const ConfigDoc::Entry* ConfigDoc::Find(const char* key, const char* section) const {
    const Section* s = FindSection(section);
    if (!s || !key) return nullptr;
    const auto found = s->index.find(std::string_view(key));
    return found == s->index.end() ? nullptr : &s->entries[found->second];
}

bool ConfigDoc::Get(std::string& out, const char* key, const char* section) const {
    const Entry* e = Find(key, section);
    out = e ? e->value : std::string();
    return e != nullptr;
}

void ConfigDoc::GetText(char* buf, size_t cap, const char* key, const char* section) const {
    if (!buf || cap == 0) return;
    buf[0] = 0;
    if (const Entry* e = Find(key, section)) {
        size_t n = std::min(e->value.size(), cap - 1);
        std::memcpy(buf, e->value.data(), n);
        buf[n] = 0;
    }
}

int32_t ConfigDoc::GetInt(const char* key, const char* section) const {
    const Entry* e = Find(key, section);
    return e ? e->intValue : 0;
}

double ConfigDoc::GetReal(const char* key, const char* section) const {
    const Entry* e = Find(key, section);
    return e ? e->realValue : 0.0;
}

int32_t ConfigDoc::GetBool(const char* key, const char* section) const {
    const Entry* e = Find(key, section);
    if (!e) return 0;
    if (::strcasecmp(e->value.c_str(), "true") == 0) return 1;
    if (::strcasecmp(e->value.c_str(), "false") == 0) return 0;
    return e->intValue;
}

bool ConfigDoc::OpenKey(const char* path) {
    return path && key_.Open(path);
}

bool ConfigDoc::ReadDword(uint32_t& out, const char* name) const {
    return key_.ReadDword(name, out);
}

void ConfigDoc::WriteDword(uint32_t value, const char* name) {
    // A failed save is reported by the store and kept in memory for its next save.
    if (key_.IsOpen()) (void)key_.WriteDword(name, value);
}

bool ConfigDoc::ReadString(char* buf, size_t cap, const char* name) const {
    return key_.ReadString(name, buf, cap);
}

void ConfigDoc::WriteString(const char* value, const char* name) {
    if (key_.IsOpen() && value) (void)key_.WriteString(name, value);
}
