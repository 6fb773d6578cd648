// Effect files: read whole into memory without waiting on pipes, checked for
// the headers that would crash, hang or swamp the mixer, and otherwise handed
// to the mixer as they are, which decodes every format it knows.
//
// The mixer's loaders trust their headers: a channel count of 0 or a rate that
// needs more conversion steps than the converter has room for never returns
// (or writes past its step table), a chunk length is allocated before it is
// read, a length that wraps loops over the same chunk for ever, and a short
// header claims hours of sound. Each check below keeps out only those cases,
// for the formats the mixer dispatches on: RIFF WAVE (plain samples and the
// two ADPCM kinds), AIFF and 8SVX, Creative voice files and Ogg Vorbis. FLAC
// is kept out whole: its length is only a claim, and a few bytes of a constant
// frame decode to thousands of samples.
#include "audio/audio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t MAX_EFFECT_CHANNELS = 8;  // halved twice to stereo by the converter
constexpr uint32_t MIN_EFFECT_RATE = 1000;   // Hz: doubled at most four times to 22050
constexpr uint32_t MAX_EFFECT_RATE = 192000; // Hz: halved at most three times
constexpr uint64_t MAX_EFFECT_SECONDS = 60;  // of sound, however it is coded

// RIFF WAVE encodings whose blocks the mixer decodes itself.
constexpr uint32_t WAVE_MS_ADPCM = 2, WAVE_IMA_ADPCM = 0x11;
constexpr size_t WAVE_FORMAT_BYTES = 16;      // the common part of the format record
constexpr size_t MS_ADPCM_FORMAT_BYTES = 50;  // plus extra size, block samples, 7 coefficient pairs
constexpr size_t IMA_ADPCM_FORMAT_BYTES = 20; // plus extra size, block samples
constexpr uint32_t MS_ADPCM_COEFFICIENTS = 7;
constexpr size_t RIFF_HEADER_BYTES = 12; // "RIFF", length, "WAVE"; "FORM", length, type
constexpr size_t CHUNK_HEADER_BYTES = 8; // name, length

constexpr size_t AIFF_COMM_BYTES = 18; // channels, frames, bits, 80-bit rate
constexpr size_t AIFF_SSND_BYTES = 8;  // offset, block size
constexpr size_t SVX_VHDR_BYTES = 14;  // three counts and the rate

constexpr size_t VOC_HEADER_BYTES = 26; // signature, first block, version, check
constexpr const char VOC_SIGNATURE[] = "Creative Voice File\x1a";
constexpr size_t VOC_BLOCK_HEADER_BYTES = 4; // type, 24-bit length

constexpr size_t OGG_PAGE_HEADER_BYTES = 27; // up to the segment count
constexpr size_t VORBIS_ID_BYTES = 16;       // packet type, "vorbis", version, channels, rate

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

bool soundUsable(uint32_t channels, uint32_t rate, uint64_t frames) {
    return channels >= 1 && channels <= MAX_EFFECT_CHANNELS && rate >= MIN_EFFECT_RATE &&
           rate <= MAX_EFFECT_RATE && frames <= uint64_t(rate) * MAX_EFFECT_SECONDS;
}

// The format record of a WAVE file (`length` bytes at `f`) and the length of
// its sample chunk. The two ADPCM kinds are decoded block by block from the
// block size and samples per block the record gives, which must agree.
bool waveUsable(const unsigned char* f, size_t length, uint32_t dataBytes) {
    const uint32_t encoding = le(f, 2), channels = le(f + 2, 2), rate = le(f + 4, 4);
    const uint32_t blockAlign = le(f + 12, 2), bits = le(f + 14, 2);
    if (encoding == WAVE_MS_ADPCM || encoding == WAVE_IMA_ADPCM) {
        const bool ms = encoding == WAVE_MS_ADPCM;
        const uint32_t headerPerChannel = ms ? 7 : 4; // bytes opening each block
        if (length < (ms ? MS_ADPCM_FORMAT_BYTES : IMA_ADPCM_FORMAT_BYTES) || bits != 4 ||
            channels < 1 || channels > 2 || blockAlign <= headerPerChannel * channels ||
            (!ms && blockAlign % (4 * channels) != 0))
            return false;
        const uint32_t blockSamples = le(f + 18, 2);
        const uint32_t expected =
            (blockAlign - headerPerChannel * channels) * 2 / channels + (ms ? 2 : 1);
        if (blockSamples != expected || (ms && le(f + 20, 2) != MS_ADPCM_COEFFICIENTS))
            return false;
        return soundUsable(channels, rate, uint64_t(dataBytes / blockAlign) * blockSamples);
    }
    const uint32_t frameBytes = channels * (bits >= 8 ? bits / 8 : 1);
    return soundUsable(channels, rate, frameBytes ? dataBytes / frameBytes : 0);
}

// Chunks are walked the way the loader does: "fact" and "LIST" chunks may come
// before the format chunk, any chunk between it and the samples; each must fit
// in what is left of the file.
bool riffUsable(const unsigned char* d, size_t size) {
    if (std::memcmp(d + 8, "WAVE", 4) != 0) return false;
    const unsigned char* format = nullptr;
    size_t formatLength = 0;
    for (size_t at = RIFF_HEADER_BYTES; size - at >= CHUNK_HEADER_BYTES;) {
        const unsigned char* chunk = d + at;
        const size_t length = le(chunk + 4, 4);
        at += CHUNK_HEADER_BYTES;
        if (length > size - at) return false;
        if (std::memcmp(chunk, "data", 4) == 0)
            return format && waveUsable(format, formatLength, uint32_t(length));
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !format) {
            if (length < WAVE_FORMAT_BYTES) return false;
            format = d + at, formatLength = length;
        } else if (!format && std::memcmp(chunk, "fact", 4) != 0 &&
                   std::memcmp(chunk, "LIST", 4) != 0) {
            return false;
        }
        at += length;
    }
    return false; // no sample chunk
}

// The 80-bit rate of an AIFF file, converted the way the loader does; 0 for
// the values it turns into a rate nowhere near the usable range.
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
// and divides by values a block gives without checking them. It sizes its
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
        case 3: { // silence, rescaled when its rate code differs
            if (extended || length < 3 || b[2] == 0 || code == 256) return false;
            uint32_t period = le(b, 2);
            if (code != -1 && b[2] != code)
                period = uint16_t(int64_t(period) * (256 - b[2]) / (256 - code));
            bytes += period;
            break;
        }
        case 8: // the rate and channels of the sample block that follows
            if (extended || length < 4 || le(b, 2) == 0 || (code != -1 && le(b, 2) != code) ||
                b[2] != 0 || b[3] == 0)
                return false; // a mono one leaves the loader dividing by 0 channels
            code = le(b, 2), channels = 2, extended = true;
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
        at += length;
    }
    return code != -1 && !extended && sampleBytes != 0 &&
           soundUsable(channels, rate, bytes / (uint64_t(channels) * sampleBytes));
}

// Ogg Vorbis: the loader sets aside the whole decoded length the last page
// claims, for every stream chained in the file. Pages must follow one another.
bool oggUsable(const unsigned char* d, size_t size) {
    uint64_t streams = 0, lastFrame = 0;
    uint32_t lowestRate = MAX_EFFECT_RATE;
    for (size_t at = 0; at < size;) {
        if (size - at < OGG_PAGE_HEADER_BYTES || std::memcmp(d + at, "OggS", 4) != 0 ||
            d[at + 4] != 0)
            return false;
        const size_t segments = d[at + 26];
        if (size - at - OGG_PAGE_HEADER_BYTES < segments) return false;
        size_t body = 0;
        for (size_t s = 0; s < segments; ++s)
            body += d[at + OGG_PAGE_HEADER_BYTES + s];
        const size_t bodyAt = at + OGG_PAGE_HEADER_BYTES + segments;
        if (size - bodyAt < body) return false;
        const uint64_t granule = uint64_t(le(d + at + 6, 4)) | uint64_t(le(d + at + 10, 4)) << 32;
        if (granule != UINT64_MAX && granule > lastFrame) lastFrame = granule;
        if (d[at + 5] & 2) { // the first page of a stream: the identification header
            const unsigned char* id = d + bodyAt;
            if (body < VORBIS_ID_BYTES || std::memcmp(id, "\x01vorbis", 7) != 0 ||
                !soundUsable(id[11], le(id + 12, 4), 0))
                return false;
            ++streams;
            if (le(id + 12, 4) < lowestRate) lowestRate = le(id + 12, 4);
        }
        at = bodyAt + body;
    }
    return streams > 0 && lastFrame <= uint64_t(lowestRate) * MAX_EFFECT_SECONDS / streams;
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
