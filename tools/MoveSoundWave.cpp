#include "MoveSoundWave.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace kelvane::assets {

namespace {

constexpr int SampleRate = 22050;
constexpr double Seconds = 0.11;
constexpr double Peak = 0.8; // of full scale, leaving headroom

// A resonance of the board: a sine that rings and dies away.
struct Partial {
    double hertz;
    double amplitude;
    double decaySeconds; // time to fall to 1/e
};

// A thick wooden board rings low and dull; the stone's edge adds a brief, brighter knock.
constexpr Partial Partials[] = {
    {610.0, 0.55, 0.022},
    {1180.0, 0.35, 0.014},
    {2450.0, 0.22, 0.008},
    {3900.0, 0.12, 0.004},
};

// The first instant of contact: a burst of noise over a couple of milliseconds. A fixed
// linear congruential generator keeps the noise, and so the file, the same every time.
class ClickNoise {
public:
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    }

private:
    std::uint32_t state_ = 0x5eed;
};

std::vector<double> Synthesize() {
    const int count = static_cast<int>(SampleRate * Seconds);
    std::vector<double> samples(count);
    ClickNoise noise;
    double smoothed = 0;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        double value = 0;
        for (const Partial& p : Partials)
            value += p.amplitude * std::exp(-t / p.decaySeconds) *
                     std::sin(2.0 * std::numbers::pi * p.hertz * t);
        // Softened noise sounds like wood, not like a hiss.
        smoothed += 0.45 * (noise.next() - smoothed);
        value += 0.9 * std::exp(-t / 0.0018) * smoothed;
        const double attack = std::min(1.0, t / 0.0004);         // no pop at the start
        const double tail = std::min(1.0, (Seconds - t) / 0.01); // nor at the end
        samples[i] = value * attack * tail;
    }
    return samples;
}

std::vector<std::int16_t> ToPcm(const std::vector<double>& samples) {
    double loudest = 0;
    for (double s : samples)
        loudest = std::max(loudest, std::abs(s));
    const double gain = loudest > 0 ? Peak * 32767.0 / loudest : 0;
    std::vector<std::int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), [gain](double s) {
        return static_cast<std::int16_t>(std::lround(std::clamp(s * gain, -32767.0, 32767.0)));
    });
    return pcm;
}

void AppendLE32(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void AppendLE16(QByteArray& out, std::uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

// A canonical RIFF/WAVE file: a "fmt " chunk for 16-bit mono PCM, then the "data" chunk.
QByteArray WaveFile(const std::vector<std::int16_t>& pcm) {
    const std::uint16_t channels = 1, bits = 16;
    const std::uint16_t blockAlign = channels * bits / 8;
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * blockAlign);
    QByteArray out;
    out.append("RIFF");
    AppendLE32(out, 36 + dataBytes);
    out.append("WAVE");
    out.append("fmt ");
    AppendLE32(out, 16);
    AppendLE16(out, 1); // PCM
    AppendLE16(out, channels);
    AppendLE32(out, SampleRate);
    AppendLE32(out, SampleRate * blockAlign);
    AppendLE16(out, blockAlign);
    AppendLE16(out, bits);
    out.append("data");
    AppendLE32(out, dataBytes);
    for (std::int16_t sample : pcm)
        AppendLE16(out, static_cast<std::uint16_t>(sample));
    return out;
}

} // namespace

QByteArray MakeMoveSound() {
    return WaveFile(ToPcm(Synthesize()));
}

} // namespace kelvane::assets
