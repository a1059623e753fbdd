#include "gen-common/Audio.h"

#include <cstdio>
#include <vorbis/vorbisenc.h>

namespace Gen {

bool WriteOgg(const std::string& path, const std::vector<float>& samples, int channels, int rate,
              float quality) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "Parlorix gen-sounds");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x50524C58); // fixed serial: deterministic output
    ogg_packet header, headerComm, headerCode;
    vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &headerComm);
    ogg_stream_packetin(&os, &headerCode);
    bool ok = true;
    ogg_page og;
    while (ogg_stream_flush(&os, &og) != 0) {
        ok = ok && std::fwrite(og.header, 1, size_t(og.header_len), f) == size_t(og.header_len);
        ok = ok && std::fwrite(og.body, 1, size_t(og.body_len), f) == size_t(og.body_len);
    }
    const size_t frames = samples.size() / size_t(channels);
    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        const size_t chunk = 1024;
        size_t n = frames - pos < chunk ? frames - pos : chunk;
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buf[c][i] = samples[(pos + i) * size_t(channels) + size_t(c)];
            vorbis_analysis_wrote(&vd, int(n));
            pos += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og) != 0) {
                    ok = ok && std::fwrite(og.header, 1, size_t(og.header_len), f) == size_t(og.header_len);
                    ok = ok && std::fwrite(og.body, 1, size_t(og.body_len), f) == size_t(og.body_len);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(f) == 0 && ok;
}

} // namespace Gen
