// Composes and writes the game's tune, "tinytune.xm": a looping chiptune in
// A minor with lead, echo, arpeggio, bass and drum channels. The instruments
// are synthesised here; the song is written out by the project's XM writer.
//
// usage: corvus_genmusic <data directory>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/music/xm.h"
#include "tools/sound/dsp.h"

using namespace snd;

namespace {

// Every sample is made at four times the format's middle-C rate, so a note
// with relative note +24 plays it at its natural pitch at C-4.
constexpr int SAMPLE_RATE = 8363 * 4;
constexpr int RELATIVE_NOTE = 24;
constexpr int CYCLE = 128;                   // samples of one cycle at C-4 (261 Hz)

enum Channel { CH_LEAD, CH_ECHO, CH_ARP, CH_BASS, CH_DRUM, CH_HAT, CHANNELS };
enum InstrumentId { INS_LEAD = 1, INS_ECHO, INS_ARP, INS_BASS, INS_KICK, INS_SNARE, INS_HAT };

constexpr int ROWS = 64, ROWS_PER_BAR = 16, ECHO_DELAY = 3;

// The whole tune's level, in 64ths, set on its first row. The players differ
// in how loud they mix the same module; this brings the game's mixer to the
// level the tune was balanced at (one loop -27.0 dBFS RMS at the game's
// default music volume; 64 would be 3.8 dB louder).
constexpr int TUNE_GLOBAL_VOLUME = 41;

std::vector<int16_t> toPcm(const Buffer& b) {
    std::vector<int16_t> out(b.size());
    for (size_t i = 0; i < b.size(); ++i) {
        const float c = b[i] < -1 ? -1 : (b[i] > 1 ? 1 : b[i]);
        out[i] = int16_t(std::lround(c * 32000.0f));
    }
    return out;
}

// A looped tone whose loop holds `cycles` periods of one oscillator and
// `cycles` + 1 of a second, so the two beat slowly like a chorus.
xm::Instrument tone(const char* name, int cycles, float (*wave)(float), float detuneMix) {
    xm::Instrument ins;
    ins.name = name;
    Buffer b(size_t(CYCLE) * cycles);
    for (size_t i = 0; i < b.size(); ++i) {
        const float p = float(i) / float(CYCLE);
        const float q = float(i) * float(cycles + 1) / float(b.size());
        b[i] = wave(p) * (1 - detuneMix) + wave(q) * detuneMix;
    }
    normalise(b, 0.9f);
    ins.sample = toPcm(b);
    ins.loopStart = 0;
    ins.loopLength = uint32_t(b.size());
    ins.relativeNote = RELATIVE_NOTE;
    return ins;
}

float leadWave(float p) { return square(p, 0.25f, 14) * 0.7f + saw(p, 8) * 0.3f; }
float echoWave(float p) { return square(p, 0.5f, 6) * 0.6f + std::sin(2 * PI * p) * 0.4f; }
float arpWave(float p) { return square(p, 0.5f, 9); }
float bassWave(float p) { return saw(p, 10) * 0.6f + std::sin(2 * PI * p) * 0.6f; }

xm::Instrument drum(const char* name, float seconds, float (*voice)(float t, Noise& n, Svf& f)) {
    xm::Instrument ins;
    ins.name = name;
    Buffer b(size_t(seconds * SAMPLE_RATE));
    Noise n(uint32_t(b.size()));
    Svf f;
    for (size_t i = 0; i < b.size(); ++i) b[i] = voice(float(i) / SAMPLE_RATE, n, f);
    normalise(b, 0.95f);
    fadeEnds(b, 2.0f, SAMPLE_RATE);
    ins.sample = toPcm(b);
    ins.relativeNote = RELATIVE_NOTE;
    return ins;
}

float kick(float t, Noise& n, Svf&) {
    const float phase = 45.0f * t + 110.0f * (1 - std::exp(-t * 28.0f)) / 28.0f * 1.0f;
    return std::sin(2 * PI * phase * 1.0f) * std::exp(-t * 9.0f) + n.next() * 0.15f * std::exp(-t * 120.0f);
}
float snare(float t, Noise& n, Svf& f) {
    const float body = std::sin(2 * PI * 185.0f * t) * std::exp(-t * 25.0f) * 0.6f;
    return body + f.run(n.next(), 5000.0f, 0.7f, SAMPLE_RATE, Svf::BAND) * std::exp(-t * 16.0f) * 1.4f;
}
float hat(float t, Noise& n, Svf& f) {
    return f.run(n.next(), 9000.0f, 0.9f, SAMPLE_RATE, Svf::HIGH) * std::exp(-t * 60.0f);
}

std::vector<xm::Instrument> instruments() {
    std::vector<xm::Instrument> list;
    xm::Instrument lead = tone("lead", 64, leadWave, 0.45f);
    lead.volumeEnvelope = {{0, 52}, {3, 64}, {16, 46}, {40, 0}};
    lead.sustainPoint = 2;
    lead.fadeout = 1024;
    lead.panning = 112;
    lead.vibratoType = 0; lead.vibratoSweep = 24; lead.vibratoDepth = 3; lead.vibratoRate = 12;
    list.push_back(lead);
    xm::Instrument echo = tone("echo", 32, echoWave, 0.4f);
    echo.volumeEnvelope = {{0, 40}, {4, 48}, {20, 30}, {48, 0}};
    echo.sustainPoint = 2;
    echo.fadeout = 1024;
    echo.panning = 176;
    list.push_back(echo);
    xm::Instrument arp = tone("arpeggio", 1, arpWave, 0.0f);
    arp.volumeEnvelope = {{0, 50}, {8, 34}, {24, 24}, {30, 0}};
    arp.sustainPoint = 2;
    arp.fadeout = 2048;
    arp.panning = 150;
    list.push_back(arp);
    xm::Instrument bass = tone("bass", 1, bassWave, 0.0f);
    bass.volumeEnvelope = {{0, 64}, {6, 44}, {18, 34}, {22, 0}};
    bass.sustainPoint = 2;
    bass.fadeout = 4096;
    list.push_back(bass);
    list.push_back(drum("kick", 0.32f, kick));
    list.push_back(drum("snare", 0.22f, snare));
    xm::Instrument h = drum("hat", 0.07f, hat);
    h.panning = 160;
    list.push_back(h);
    return list;
}

// Note names such as "A4", "G#5" as XM note numbers (C-0 = 1).
int noteNumber(const std::string& s) {
    static const char* NAMES = "C D EF G A B";
    int semis = -1;
    for (int i = 0; i < 12; ++i)
        if (NAMES[i] == s[0] && NAMES[i] != ' ') semis = i;
    size_t pos = 1;
    if (pos < s.size() && s[pos] == '#') { ++semis; ++pos; }
    const int octave = s[pos] - '0';
    return octave * 12 + semis + 1;
}

struct Chord {
    const char* root;   // bass note name, octave 2
    bool minor;
};

struct Section {
    Chord chords[4];
    const char* lead;   // 64 tokens: note name, "." hold, "-" release
    bool drums, lead2;  // full drum groove; leave out the echo
    bool halfTime;
};

const Section SONG[] = {
    // Intro: the groove alone.
    {{{"A2", true}, {"F2", false}, {"C3", false}, {"G2", false}},
     "- . . . . . . . . . . . . . . . - . . . . . . . . . . . . . . . "
     "- . . . . . . . . . . . . . . . - . . . . . . . . . . E5 . G5 . ", true, false, false},
    // First verse.
    {{{"A2", true}, {"F2", false}, {"C3", false}, {"G2", false}},
     "A4 . . . E5 . . . A5 . G5 . E5 . . . F5 . . . E5 . C5 . . . A4 . C5 . . . "
     "G5 . . . E5 . C5 . G4 . C5 . E5 . G5 . D5 . . . . . B4 . D5 . . . - . . . ", true, false, false},
    // Second verse, turning to the dominant.
    {{{"A2", true}, {"F2", false}, {"G2", false}, {"E2", false}},
     "A5 . . . C6 . B5 . A5 . . . E5 . . . F5 . . . A5 . G5 . F5 . E5 . C5 . . . "
     "D5 . . . G5 . . . B5 . A5 . G5 . D5 . E5 . . . . . . . G#5 . . . B5 . . . ", true, false, false},
    // Chorus.
    {{{"F2", false}, {"G2", false}, {"A2", true}, {"A2", true}},
     "C6 . . . A5 . . . F5 . A5 . C6 . D6 . B5 . . . G5 . . . D5 . G5 . B5 . D6 . "
     "E6 . . . . . C6 . A5 . . . C6 . B5 . A5 . . . . . . . E5 . . . A5 . . - ", true, false, false},
    // Bridge: half-time drums, a sparse line.
    {{{"D3", true}, {"A2", true}, {"F2", false}, {"E2", false}},
     "D5 . . . . . F5 . A5 . . . . . . . C5 . . . . . E5 . A5 . . . . . . . "
     "A5 . . . . . G5 . F5 . . . C5 . . . B4 . . . . . E5 . G#5 . . . B5 . . . ", false, true, true},
    // Last chorus, ending on the dominant that leads back to the start.
    {{{"F2", false}, {"G2", false}, {"A2", true}, {"E2", false}},
     "C6 . . . A5 . . . F5 . A5 . C6 . D6 . B5 . . . G5 . . . D5 . G5 . B5 . D6 . "
     "E6 . . . . . C6 . A5 . . . E6 . D6 . B5 . . . G#5 . . . E5 . . . B4 . . - ", true, false, false},
};

std::vector<std::string> tokens(const char* text) {
    std::vector<std::string> out;
    std::string cur;
    for (const char* p = text;; ++p) {
        if (*p == ' ' || *p == 0) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
            if (*p == 0) break;
        } else {
            cur += *p;
        }
    }
    return out;
}

xm::Pattern compose(const Section& s) {
    xm::Pattern p(ROWS, CHANNELS);
    const auto cell = [&](int row, int ch) -> xm::Cell& { return p.cells[size_t(row) * CHANNELS + ch]; };
    // Lead and its echo, three rows behind and softer, on the other side.
    const std::vector<std::string> lead = tokens(s.lead);
    for (int row = 0; row < ROWS && row < int(lead.size()); ++row) {
        const std::string& t = lead[size_t(row)];
        if (t == ".") continue;
        xm::Cell c;
        if (t == "-") {
            c.note = xm::NOTE_OFF;
        } else {
            c.note = uint8_t(noteNumber(t));
            c.instrument = INS_LEAD;
            c.volume = uint8_t(xm::volumeSet(s.lead2 ? 40 : 48));
        }
        cell(row, CH_LEAD) = c;
        if (!s.lead2 && row + ECHO_DELAY < ROWS) {
            xm::Cell e = c;
            if (e.instrument) {
                e.instrument = INS_ECHO;
                e.volume = uint8_t(xm::volumeSet(20));
            }
            cell(row + ECHO_DELAY, CH_ECHO) = e;
        }
    }
    for (int bar = 0; bar < 4; ++bar) {
        const Chord& ch = s.chords[bar];
        const int root = noteNumber(ch.root);
        const int base = bar * ROWS_PER_BAR;
        // Arpeggio: the chord's root with the tracker's arpeggio effect.
        for (int k = 0; k < ROWS_PER_BAR; k += 4) {
            xm::Cell& a = cell(base + k, CH_ARP);
            a.note = uint8_t(root + 24);
            a.instrument = INS_ARP;
            a.volume = uint8_t(xm::volumeSet(k == 0 ? 30 : 22));
            a.effect = 0x00;
            a.param = ch.minor ? 0x37 : 0x47;
        }
        // Bass: driving eighths with an octave jump on the off-beats.
        static const int BASS_STEP[8] = {0, 0, 12, 0, 0, 12, 0, 7};
        for (int k = 0; k < 8; ++k) {
            if (s.halfTime && (k % 2)) continue;
            xm::Cell& b = cell(base + 2 * k, CH_BASS);
            b.note = uint8_t(root + BASS_STEP[k]);
            b.instrument = INS_BASS;
            b.volume = uint8_t(xm::volumeSet(k == 0 ? 56 : 46));
        }
        // Drums.
        for (int k = 0; k < ROWS_PER_BAR; ++k) {
            const int row = base + k;
            xm::Cell& d = cell(row, CH_DRUM);
            const bool kickHit = s.halfTime ? k == 0 : (k == 0 || k == 8 || (k == 10 && bar % 2));
            const bool snareHit = s.halfTime ? k == 8 : (k == 4 || k == 12 || (bar == 3 && k >= 13));
            if (kickHit) {
                d.note = 49; d.instrument = INS_KICK; d.volume = uint8_t(xm::volumeSet(64));
            } else if (snareHit) {
                d.note = 49; d.instrument = INS_SNARE;
                d.volume = uint8_t(xm::volumeSet(k > 12 ? 36 : 50));
            }
            if ((s.drums || s.halfTime) && k % 2 == 0) {
                xm::Cell& h = cell(row, CH_HAT);
                h.note = 49; h.instrument = INS_HAT;
                h.volume = uint8_t(xm::volumeSet(k % 4 == 2 ? 34 : 22));
            }
        }
    }
    return p;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data directory>\n", argv[0]);
        return 2;
    }
    xm::Module m;
    m.name = "deep drift";
    m.channels = CHANNELS;
    m.speed = 6;
    m.bpm = 125;
    m.restart = 0;
    for (const Section& s : SONG) {
        m.order.push_back(uint8_t(m.patterns.size()));
        m.patterns.push_back(compose(s));
    }
    // The level on the first row, and a jump back to it after the last: the
    // tune loops by itself, row after row, without the pause or fade a
    // player may put at a song's end. The hat channel's effect column is free.
    xm::Cell& first = m.patterns.front().cells[CH_HAT];
    first.effect = xm::EFFECT_GLOBAL_VOLUME;
    first.param = TUNE_GLOBAL_VOLUME;
    xm::Cell& last = m.patterns.back().cells[size_t(ROWS - 1) * CHANNELS + CH_HAT];
    last.effect = xm::EFFECT_POSITION_JUMP;
    last.param = uint8_t(m.restart);
    m.instruments = instruments();
    const std::string path = std::string(argv[1]) + "/tinytune.xm";
    if (!xm::save(path.c_str(), m)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
