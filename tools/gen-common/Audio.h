#pragma once
// Ogg Vorbis output of the sound generators.
#include <string>
#include <vector>

namespace Gen {

// Encodes interleaved float samples (-1..1) as Ogg Vorbis with a fixed stream serial number, so
// the same samples always give the same file. `quality` is libvorbisenc's VBR quality (-0.1..1).
bool WriteOgg(const std::string& path, const std::vector<float>& samples, int channels, int rate,
              float quality);

} // namespace Gen
