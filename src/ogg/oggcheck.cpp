// The page check that decides whether a stream may be decoded in ranges side
// by side. Seeking lands a decoder on the right sample only when the granule
// positions agree with the samples the packets make, so the whole stream is
// walked once, page by page, without decoding: one logical stream, pages
// whole and in order, and every granule equal to the count that the packets'
// block sizes give. Anything else keeps the single decoder.
#include <string.h>

#include <vorbis/codec.h>

#include "decoding.h"

namespace {

enum { CHECK_CHUNK = 65536 };

// What the walk has seen so far.
struct Walk {
    ogg_sync_state oy;
    ogg_stream_state os;
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    bool streamOpen = false;
    bool synthesisOpen = false;
    int serial = 0;
    uint32_t pages = 0;
    int headers = 0;
    bool ended = false;
    long lastBlock = 0;  // block size of the previous audio packet, 0 before the first
    int64_t samples = 0; // frames the audio packets so far make
    int64_t granule = 0; // of the last page taken
};

// One page: its place in the stream, its packets and its granule position.
bool takePage(Walk& w, ogg_page* og)
{
    if (w.ended)
        return false; // nothing may follow the last page
    const bool first = w.pages == 0;
    if (first) {
        w.serial = ogg_page_serialno(og);
        if (ogg_stream_init(&w.os, w.serial) != 0)
            return false;
        w.streamOpen = true;
    }
    if ((ogg_page_bos(og) != 0) != first || ogg_page_serialno(og) != w.serial)
        return false;
    if (static_cast<uint32_t>(ogg_page_pageno(og)) != w.pages)
        return false;
    ++w.pages;
    w.ended = ogg_page_eos(og) != 0;
    if (ogg_stream_pagein(&w.os, og) != 0)
        return false;

    int headerPackets = 0, audioPackets = 0;
    int64_t before = w.samples; // the count before the page's last packet
    ogg_packet op;
    for (;;) {
        const int r = ogg_stream_packetout(&w.os, &op);
        if (r == 0)
            break;
        if (r < 0)
            return false; // a hole
        if (w.headers < 3) {
            if (audioPackets || vorbis_synthesis_headerin(&w.vi, &w.vc, &op) != 0)
                return false;
            ++headerPackets;
            if (++w.headers == 3) {
                if (vorbis_synthesis_init(&w.vd, &w.vi) != 0)
                    return false;
                w.synthesisOpen = true;
                if (vorbis_block_init(&w.vd, &w.vb) != 0)
                    return false;
            }
            continue;
        }
        // Audio must start on a page of its own, and every packet must be
        // one that the decoder takes (the checks decoding makes before it
        // synthesises); a packet it refused would make no samples.
        if (headerPackets || vorbis_synthesis_trackonly(&w.vb, &op) != 0)
            return false;
        // A packet the decoder took has a mode of the stream, and so one of
        // its two block sizes, both at least 64: no error to answer here.
        const long block = vorbis_packet_blocksize(&w.vi, &op);
        before = w.samples;
        if (w.lastBlock)
            w.samples += (w.lastBlock + block) / 4;
        w.lastBlock = block;
        ++audioPackets;
    }

    const int64_t granule = ogg_page_granulepos(og);
    w.granule = granule;
    if (headerPackets)
        return granule == 0;
    if (!audioPackets)
        return granule == -1 && !w.ended;
    if (!w.ended)
        return granule == w.samples;
    // The last page may end the stream inside its last packet, no earlier.
    return granule == w.samples || (granule > before && granule < w.samples);
}

} // namespace

bool oggPageCheck(OggRead read, void* stream, uint32_t slack, int64_t* frames_out)
{
    Walk w;
    ogg_sync_init(&w.oy);
    vorbis_info_init(&w.vi);
    vorbis_comment_init(&w.vc);

    bool ok = true;
    uint64_t unpaged = 0; // bytes read that are not (yet) part of a page
    for (;;) {
        ogg_page og;
        const long r = ogg_sync_pageseek(&w.oy, &og);
        if (r < 0) {
            ok = false; // bytes that are no page, or a page that fails its checksum
            break;
        }
        if (r > 0) {
            unpaged -= static_cast<uint64_t>(r);
            if (!takePage(w, &og)) {
                ok = false;
                break;
            }
            continue;
        }
        char* buf = ogg_sync_buffer(&w.oy, CHECK_CHUNK);
        if (!buf) {
            ok = false;
            break;
        }
        const size_t got = read(buf, 1, CHECK_CHUNK, stream);
        if (got == 0 || got > CHECK_CHUNK)
            break;
        ogg_sync_wrote(&w.oy, static_cast<long>(got));
        unpaged += got;
    }
    // Only the last page's end may follow, and at most `slack` bytes after it.
    ok = ok && w.ended && w.headers == 3 && unpaged <= slack;
    if (ok)
        *frames_out = w.granule;

    if (w.synthesisOpen) {
        vorbis_block_clear(&w.vb);
        vorbis_dsp_clear(&w.vd);
    }
    if (w.streamOpen)
        ogg_stream_clear(&w.os);
    vorbis_comment_clear(&w.vc);
    vorbis_info_clear(&w.vi);
    ogg_sync_clear(&w.oy);
    return ok;
}
