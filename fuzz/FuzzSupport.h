#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/Log.h"

// Shared set-up of the fuzz targets: no log file, and a private empty working directory so that
// names taken from the input (archive entries, data files) find nothing of the real tree.
inline const std::string& ScratchDir() {
    static const std::string dir = [] {
        char templ[] = "/tmp/parlorix-fuzz-XXXXXX";
        const char* made = ::mkdtemp(templ);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

inline void FuzzSetUp() {
    Log::SetEnabled(false);
    if (::chdir(ScratchDir().c_str()) != 0) std::perror("chdir");
    // The folder goes when the run ends normally.
    std::atexit([] {
        std::error_code ec;
        if (ScratchDir() != "/tmp") std::filesystem::remove_all(ScratchDir(), ec);
    });
}

// Loaders that read named files get the input through one scratch file per process.
inline std::string WriteScratch(const uint8_t* data, size_t size, const char* suffix) {
    std::string path = ScratchDir() + "/input" + suffix;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}

#define PARLORIX_FUZZ_INIT                                                                                   \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                                     \
        FuzzSetUp();                                                                                         \
        return 0;                                                                                            \
    }
