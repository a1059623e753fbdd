#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

// Loaders that read named files get the input through one scratch file per process.
inline std::string WriteScratch(const uint8_t* data, size_t size, const char* suffix) {
    static std::string base = "/tmp/parlorix-fuzz-" + std::to_string(::getpid());
    std::string path = base + suffix;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}
