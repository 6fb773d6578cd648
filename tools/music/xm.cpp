// Writer of extended tracker modules. Little-endian throughout; sample data
// is stored as differences from the previous sample, as the format requires.
#include "tools/music/xm.h"

#include <cstdio>

namespace xm {
namespace {

struct Out {
    std::vector<uint8_t> b;
    void u8(uint32_t v) { b.push_back(uint8_t(v)); }
    void u16(uint32_t v) { u8(v & 0xFF); u8(v >> 8 & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void text(const std::string& s, size_t n, char pad = 0) {
        for (size_t i = 0; i < n; ++i) u8(uint8_t(i < s.size() ? s[i] : pad));
    }
    void zeros(size_t n) { b.insert(b.end(), n, 0); }
};

constexpr uint32_t HEADER_SIZE = 276;          // from the size field to the patterns
constexpr uint32_t PATTERN_HEADER_SIZE = 9;
constexpr uint32_t INSTRUMENT_HEADER_SIZE = 263;
constexpr uint32_t SAMPLE_HEADER_SIZE = 40;
constexpr uint8_t SAMPLE_16BIT = 0x10, LOOP_FORWARD = 0x01;

void packCell(Out& o, const Cell& c) {
    // A cell is packed as a flag byte naming the columns that follow.
    uint8_t flags = 0x80;
    if (c.note) flags |= 0x01;
    if (c.instrument) flags |= 0x02;
    if (c.volume) flags |= 0x04;
    if (c.effect) flags |= 0x08;
    if (c.param) flags |= 0x10;
    o.u8(flags);
    if (c.note) o.u8(c.note);
    if (c.instrument) o.u8(c.instrument);
    if (c.volume) o.u8(c.volume);
    if (c.effect) o.u8(c.effect);
    if (c.param) o.u8(c.param);
}

} // namespace

std::vector<uint8_t> encode(const Module& m) {
    Out o;
    o.text("Extended Module: ", 17);
    o.text(m.name, 20, ' ');
    o.u8(0x1A);
    o.text("corvus xm writer", 20, ' ');
    o.u16(0x0104);
    o.u32(HEADER_SIZE);
    o.u16(uint32_t(m.order.size()));
    o.u16(uint32_t(m.restart));
    o.u16(uint32_t(m.channels));
    o.u16(uint32_t(m.patterns.size()));
    o.u16(uint32_t(m.instruments.size()));
    o.u16(1);                                  // linear frequency table
    o.u16(uint32_t(m.speed));
    o.u16(uint32_t(m.bpm));
    for (size_t i = 0; i < 256; ++i) o.u8(i < m.order.size() ? m.order[i] : 0);

    for (const Pattern& p : m.patterns) {
        Out data;
        for (const Cell& c : p.cells) packCell(data, c);
        o.u32(PATTERN_HEADER_SIZE);
        o.u8(0);                               // packing type
        o.u16(uint32_t(p.rows));
        o.u16(uint32_t(data.b.size()));
        o.b.insert(o.b.end(), data.b.begin(), data.b.end());
    }

    for (const Instrument& ins : m.instruments) {
        o.u32(INSTRUMENT_HEADER_SIZE);
        o.text(ins.name, 22);
        o.u8(0);                               // type
        o.u16(1);                              // one sample
        o.u32(SAMPLE_HEADER_SIZE);
        o.zeros(96);                           // every note plays sample 0
        for (int i = 0; i < 12; ++i) {
            const bool has = size_t(i) < ins.volumeEnvelope.size();
            o.u16(has ? ins.volumeEnvelope[size_t(i)].tick : 0);
            o.u16(has ? ins.volumeEnvelope[size_t(i)].value : 0);
        }
        o.zeros(48);                           // panning envelope
        o.u8(uint32_t(ins.volumeEnvelope.size()));
        o.u8(0);
        o.u8(ins.sustainPoint < 0 ? 0 : uint32_t(ins.sustainPoint));
        o.u8(0); o.u8(0);                      // volume loop start, end
        o.u8(0); o.u8(0); o.u8(0);             // panning sustain, loop
        uint8_t volType = ins.volumeEnvelope.empty() ? 0 : 1;
        if (!ins.volumeEnvelope.empty() && ins.sustainPoint >= 0) volType |= 2;
        o.u8(volType);
        o.u8(0);                               // panning envelope off
        o.u8(ins.vibratoType); o.u8(ins.vibratoSweep); o.u8(ins.vibratoDepth); o.u8(ins.vibratoRate);
        o.u16(ins.fadeout);
        o.zeros(INSTRUMENT_HEADER_SIZE - 241); // reserved to the end of the header

        const uint32_t bytes = uint32_t(ins.sample.size() * 2);
        o.u32(bytes);
        o.u32(ins.loopStart * 2);
        o.u32(ins.loopLength * 2);
        o.u8(ins.volume);
        o.u8(uint8_t(ins.finetune));
        o.u8(SAMPLE_16BIT | (ins.loopLength ? LOOP_FORWARD : 0));
        o.u8(ins.panning);
        o.u8(uint8_t(ins.relativeNote));
        o.u8(0);
        o.text(ins.name, 22);
        int16_t prev = 0;
        for (int16_t s : ins.sample) {
            o.u16(uint16_t(int16_t(s - prev)));
            prev = s;
        }
    }
    return o.b;
}

bool save(const char* path, const Module& m) {
    const std::vector<uint8_t> bytes = encode(m);
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace xm
