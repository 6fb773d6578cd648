// Effect files: read whole into memory without waiting on pipes, checked for
// the headers that would crash, hang or swamp the mixer, and otherwise handed
// to the mixer as they are, which decodes every format it knows.
//
// SDL 2's WAVE reader checks its own headers (channels, rate, ADPCM block
// geometry), so what is left to check here is what the mixer trusts: a chunk
// length is allocated before it is read, an AIFF header's frame count too;
// the voice-file reader divides by a rate it does not check and reads a block
// after the end mark past its buffer; and every reader decodes, and converts
// to the device's rate, as much sound as the header describes. So: every
// chunk inside the file, 1 to 8 channels (the converter takes no more, and
// the AIFF reader leaks on the others), at most a minute of sound, and the
// voice file's two faults kept out. Only the formats the mixer reads with a
// reader of its own, RIFF WAVE, AIFF and 8SVX, Creative voice and Ogg Vorbis,
// are let through: anything else it would decode whole as music, where a
// tracker module that loops (the game's own tune does) never ends, and a FLAC
// or MP3 file's length is only a claim.
#include "audio/audio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t MAX_EFFECT_CHANNELS = 8;  // the most the converter takes
constexpr uint64_t MAX_EFFECT_SECONDS = 60;  // of sound, however it is coded

// RIFF WAVE encodings whose blocks the mixer decodes itself: four bits a
// sample, and a few whole samples in each block's header.
constexpr uint32_t WAVE_MS_ADPCM = 2, WAVE_IMA_ADPCM = 0x11;
constexpr uint32_t ADPCM_SAMPLES_PER_BYTE = 2;
constexpr uint32_t ADPCM_HEADER_SAMPLES = 2;  // at most, per block and channel
constexpr size_t WAVE_FORMAT_BYTES = 16;      // the common part of the format record
constexpr size_t RIFF_HEADER_BYTES = 12; // "RIFF", length, "WAVE"; "FORM", length, type
constexpr size_t CHUNK_HEADER_BYTES = 8; // name, length

constexpr size_t AIFF_COMM_BYTES = 18; // channels, frames, bits, 80-bit rate
constexpr size_t AIFF_SSND_BYTES = 8;  // offset, block size
constexpr size_t SVX_VHDR_BYTES = 14;  // three counts and the rate

constexpr size_t VOC_HEADER_BYTES = 26; // signature, first block, version, check
constexpr const char VOC_SIGNATURE[] = "Creative Voice File\x1a";
constexpr size_t VOC_BLOCK_HEADER_BYTES = 4; // type, 24-bit length
constexpr size_t VOC_SILENCE_BYTES = 3;      // period, rate code
constexpr size_t VOC_EXTENDED_BYTES = 4;     // rate code, packing, mode

constexpr size_t OGG_PAGE_HEADER_BYTES = 27; // up to the segment count
constexpr size_t VORBIS_ID_BYTES = 30;       // the whole identification header
constexpr int VORBIS_HEADER_PACKETS = 3;     // identification, comments, set-up
constexpr unsigned MIN_VORBIS_BLOCK_LOG = 6, MAX_VORBIS_BLOCK_LOG = 13; // 64..8192 samples

uint32_t le(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}
uint32_t be(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Whether the mixer can convert the sound and what it decodes stays small:
// at most a minute, that is 11 MB once converted for a 48 kHz device.
bool soundUsable(uint32_t channels, uint32_t rate, uint64_t frames) {
    return channels >= 1 && channels <= MAX_EFFECT_CHANNELS && rate >= 1 &&
           frames <= uint64_t(rate) * MAX_EFFECT_SECONDS;
}

// The format record of a WAVE file (`f`) and the length of its sample chunk.
// The mixer checks an ADPCM file's block geometry itself; the frames counted
// here are the most its blocks can hold.
bool waveUsable(const unsigned char* f, uint32_t dataBytes) {
    const uint32_t encoding = le(f, 2), channels = le(f + 2, 2), rate = le(f + 4, 4);
    const uint32_t blockAlign = le(f + 12, 2), bits = le(f + 14, 2);
    if (channels == 0) return false;
    if (encoding == WAVE_MS_ADPCM || encoding == WAVE_IMA_ADPCM) {
        if (blockAlign == 0) return false;
        const uint64_t blocks = dataBytes / blockAlign + 1;
        const uint64_t frames =
            uint64_t(dataBytes) * ADPCM_SAMPLES_PER_BYTE / channels + blocks * ADPCM_HEADER_SAMPLES;
        return soundUsable(channels, rate, frames);
    }
    const uint32_t frameBytes = channels * (bits >= 8 ? bits / 8 : 1);
    return soundUsable(channels, rate, dataBytes / frameBytes);
}

// Chunks are walked the way the reader does, up to the sample chunk; each
// must fit in what is left of the file, and the format chunk come first.
bool riffUsable(const unsigned char* d, size_t size) {
    if (std::memcmp(d + 8, "WAVE", 4) != 0) return false;
    const unsigned char* format = nullptr;
    for (size_t at = RIFF_HEADER_BYTES; size - at >= CHUNK_HEADER_BYTES;) {
        const unsigned char* chunk = d + at;
        const size_t length = le(chunk + 4, 4);
        at += CHUNK_HEADER_BYTES;
        if (length > size - at) return false;
        if (std::memcmp(chunk, "data", 4) == 0)
            return format && waveUsable(format, uint32_t(length));
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !format) {
            if (length < WAVE_FORMAT_BYTES) return false;
            format = d + at;
        }
        at += length + (length & 1);
        if (at > size) at = size;
    }
    return false; // no sample chunk
}

// The 80-bit rate of an AIFF file, converted the way the reader does; 0 for
// the values it refuses.
uint32_t aiffRate(const unsigned char* x) {
    if (x[0] != 0x40 || x[1] > 0x1C) return 0;
    return ((uint32_t(x[2]) << 23) | (uint32_t(x[3]) << 15) | (uint32_t(x[4]) << 7) |
            (uint32_t(x[5]) >> 1)) >>
           (29 - x[1]);
}

// AIFF (COMM and SSND) and 8SVX (VHDR and BODY): the loader stops at the first
// empty chunk or once it has both chunks it needs, then reads frames x
// channels x bytes from the sample start.
bool formUsable(const unsigned char* d, size_t size) {
    const bool aiff = std::memcmp(d + 8, "AIFF", 4) == 0;
    if (!aiff && std::memcmp(d + 8, "8SVX", 4) != 0) return false;
    bool header = false, samples = false;
    uint32_t channels = 0, frames = 0, bits = 0, rate = 0;
    size_t start = 0;
    for (size_t at = RIFF_HEADER_BYTES; !(header && samples) && size - at >= CHUNK_HEADER_BYTES;) {
        const unsigned char* chunk = d + at;
        const size_t length = be(chunk + 4, 4);
        at += CHUNK_HEADER_BYTES;
        if (length > size - at) return false;
        if (length == 0) break;
        const unsigned char* body = d + at;
        if (aiff && std::memcmp(chunk, "COMM", 4) == 0 && length >= AIFF_COMM_BYTES) {
            header = true;
            channels = be(body, 2), frames = be(body + 2, 4), bits = be(body + 6, 2);
            rate = aiffRate(body + 8);
        } else if (aiff && std::memcmp(chunk, "SSND", 4) == 0 && length >= AIFF_SSND_BYTES) {
            samples = true;
            start = at + AIFF_SSND_BYTES + be(body, 4);
        } else if (!aiff && std::memcmp(chunk, "VHDR", 4) == 0 && length >= SVX_VHDR_BYTES) {
            header = true;
            channels = 1, bits = 8, rate = be(body + 12, 2);
        } else if (!aiff && std::memcmp(chunk, "BODY", 4) == 0) {
            samples = true;
            start = at, frames = uint32_t(length);
        }
        at += length + (length & 1);
        if (at > size) at = size;
    }
    return header && samples && (bits == 8 || bits == 16) && start <= size &&
           uint64_t(frames) * channels * (bits / 8) <= size - start &&
           soundUsable(channels, rate, frames);
}

// Creative voice files: the loader walks the blocks keeping one rate code,
// and divides by values a block gives without checking them. It reads just
// the fields of a silence or an extended block, whatever length the block
// gives, and takes what follows them as the next block; so does this walk. It sizes its
// buffer by each block it is handed, but after an empty sound block or the
// end mark it reads the next block straight into the full buffer: so no sound
// block may be empty, and the end mark is followed by the file's end or by
// another end mark (padding of zeros).
bool vocUsable(const unsigned char* d, size_t size) {
    if (size < VOC_HEADER_BYTES || std::memcmp(d, VOC_SIGNATURE, 20) != 0) return false;
    int64_t code = -1; // the rate code in force, as the loader keeps it
    uint32_t rate = 0, channels = 0, sampleBytes = 0;
    bool extended = false; // an extended block waits for its sample block
    uint64_t bytes = 0;    // sample bytes, silences included
    for (size_t at = le(d + 20, 2); at < size;) {
        if (d[at] == 0) {
            if (at + 1 < size && d[at + 1] != 0) return false;
            break;
        }
        if (size - at < VOC_BLOCK_HEADER_BYTES) return false;
        const unsigned type = d[at];
        const size_t length = le(d + at + 1, 3);
        at += VOC_BLOCK_HEADER_BYTES;
        if (length > size - at) return false;
        const unsigned char* b = d + at;
        const uint64_t before = bytes;
        switch (type) {
        case 1: // samples, 8-bit, with a rate code unless an extended block gave one
            if (length < 2 || b[1] != 0) return false;
            if (!extended) {
                if (b[0] == 0 || (code != -1 && b[0] != code)) return false;
                code = b[0], rate = uint16_t(1000000 / (256 - b[0])), channels = 1; // as stored
            }
            extended = false, sampleBytes = 1, bytes += length - 2;
            break;
        case 9: // samples with a rate in hertz, a sample size and a channel count
            if (extended || length < 12 || le(b, 4) == 0 || (code != -1 && le(b, 4) != code) ||
                (b[4] != 8 && b[4] != 16))
                return false;
            code = le(b, 4), rate = le(b, 4), sampleBytes = b[4] / 8, channels = b[5];
            bytes += length - 12;
            break;
        case 2: // more samples of the kind before
            if (extended || sampleBytes == 0) return false;
            bytes += length;
            break;
        case 3: { // silence, rescaled when its rate code differs; 3 bytes read
            if (extended || length < 3 || b[2] == 0 || code == 256) return false;
            uint32_t period = le(b, 2);
            if (code != -1 && b[2] != code)  // never shorter than the loader makes it
                period = uint16_t(int64_t(period) * (256 - b[2]) / (256 - code));
            else
                code = b[2];
            bytes += period;
            break;
        }
        case 8: // the rate and channels of the sample block that follows; 4 bytes read
            if (extended || length < 4 || le(b, 2) == 0 || (code != -1 && le(b, 2) != code) ||
                b[2] != 0)
                return false;
            code = le(b, 2), channels = b[3] ? 2 : 1, extended = true;
            rate = 256000000 / (65536 - uint32_t(code)) / channels;
            break;
        case 4: // a marker: the loader skips two bytes more than the block holds
            if (length + 2 > size - at) return false;
            at += 2;
            break;
        default: // text, repeats and others: skipped
            break;
        }
        if (rate != 0 && !soundUsable(channels, rate, 0)) return false;
        if ((type == 1 || type == 2 || type == 3 || type == 9) && bytes == before) return false;
        at += type == 3 ? VOC_SILENCE_BYTES : type == 8 ? VOC_EXTENDED_BYTES : length;
    }
    return code != -1 && !extended && sampleBytes != 0 &&
           soundUsable(channels, rate, bytes / (uint64_t(channels) * sampleBytes));
}

// Ogg Vorbis: the mixer decodes the whole stream, whatever its pages claim.
// Each audio packet decodes to at most half a long block, so the packets,
// counted from the pages' segment tables, bound the sound for every stream
// chained in the file. Pages must follow one another.
bool oggUsable(const unsigned char* d, size_t size) {
    uint64_t packets = 0, mostPerPacket = 0;
    uint32_t lowestRate = UINT32_MAX;
    int streams = 0;
    for (size_t at = 0; at < size;) {
        if (size - at < OGG_PAGE_HEADER_BYTES || std::memcmp(d + at, "OggS", 4) != 0 ||
            d[at + 4] != 0)
            return false;
        const size_t segments = d[at + 26];
        if (size - at - OGG_PAGE_HEADER_BYTES < segments) return false;
        size_t body = 0;
        for (size_t s = 0; s < segments; ++s) {
            const unsigned char lace = d[at + OGG_PAGE_HEADER_BYTES + s];
            body += lace;
            if (lace < 255) ++packets; // a packet ends in this segment
        }
        const size_t bodyAt = at + OGG_PAGE_HEADER_BYTES + segments;
        if (size - bodyAt < body) return false;
        if (d[at + 5] & 2) { // the first page of a stream: the identification header
            const unsigned char* id = d + bodyAt;
            if (body < VORBIS_ID_BYTES || std::memcmp(id, "\x01vorbis", 7) != 0) return false;
            const uint32_t rate = le(id + 12, 4);
            const unsigned longBlock = id[28] >> 4;
            if (!soundUsable(id[11], rate, 0) || longBlock < MIN_VORBIS_BLOCK_LOG ||
                longBlock > MAX_VORBIS_BLOCK_LOG)
                return false;
            ++streams;
            lowestRate = std::min(lowestRate, rate);
            mostPerPacket = std::max(mostPerPacket, uint64_t(1) << (longBlock - 1));
        }
        at = bodyAt + body;
    }
    const uint64_t headers = uint64_t(streams) * VORBIS_HEADER_PACKETS;
    const uint64_t audioPackets = packets > headers ? packets - headers : 0;
    return streams > 0 &&
           audioPackets * mostPerPacket <= uint64_t(lowestRate) * MAX_EFFECT_SECONDS;
}

} // namespace

bool effectDataUsable(const unsigned char* data, size_t size) {
    if (size < RIFF_HEADER_BYTES) return false;
    if (std::memcmp(data, "RIFF", 4) == 0) return riffUsable(data, size);
    if (std::memcmp(data, "FORM", 4) == 0) return formUsable(data, size);
    if (std::memcmp(data, "Crea", 4) == 0) return vocUsable(data, size);
    if (std::memcmp(data, "OggS", 4) == 0) return oggUsable(data, size);
    return false; // FLAC, and anything the mixer would not recognise anyway
}

bool readDataFile(const char* path, size_t limit, std::vector<unsigned char>& out) {
    out.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              uint64_t(st.st_size) <= limit;
    if (ok) out.resize(size_t(st.st_size));
    size_t done = 0;
    while (ok && done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false; // an error, or the file shrank
        else
            done += size_t(n);
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}
