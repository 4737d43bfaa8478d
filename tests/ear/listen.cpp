#include "listen.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const double kPi = 3.141592653589793;

std::vector<unsigned char> fileBytes(const std::string& path, bool& ok)
{
    std::ifstream f(path, std::ios::binary);
    ok = static_cast<bool>(f);
    return ok ? std::vector<unsigned char>{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()}
              : std::vector<unsigned char>{};
}

uint32_t le32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

double toDb(double amplitude)
{
    return amplitude > 1e-10 ? 20.0 * std::log10(amplitude) : -200.0;
}

typedef std::vector<std::pair<size_t, size_t>> Spans; // [first, last] frames

// The bursts: stretches of frames whose loudest channel reaches the
// sounding threshold, cut where at least kGapSec of frames do not.
Spans burstsOf(const Sound& s)
{
    Spans spans;
    if (s.channels < 1 || s.rate < 1)
        return spans;
    float peak = 0;
    for (float x : s.samples)
        peak = std::max(peak, std::fabs(x));
    if (peak < kSilentPeak)
        return spans;
    const float threshold = float(std::max(peak * kSoundingFraction, kSilentPeak));
    const size_t frames = s.samples.size() / s.channels;
    const size_t gap = size_t(kGapSec * s.rate);
    for (size_t i = 0; i < frames; ++i) {
        bool sounds = false;
        for (int c = 0; c < s.channels && !sounds; ++c)
            sounds = std::fabs(s.samples[i * s.channels + c]) >= threshold;
        if (!sounds)
            continue;
        if (!spans.empty() && i - spans.back().second <= gap)
            spans.back().second = i;
        else
            spans.push_back({i, i});
    }
    return spans;
}

// Channel `c`, or the mix of all channels when c < 0, over the spans.
std::vector<double> channelOver(const Sound& s, const Spans& spans, int c)
{
    std::vector<double> out;
    for (const auto& [first, last] : spans)
        for (size_t i = first; i <= last; ++i) {
            double sum = 0;
            for (int k = 0; k < s.channels; ++k)
                if (c < 0 || k == c)
                    sum += s.samples[i * s.channels + k];
            out.push_back(c < 0 ? sum / s.channels : sum);
        }
    return out;
}

void hann(std::vector<double>& x)
{
    const size_t n = x.size();
    if (n < 2)
        return;
    for (size_t i = 0; i < n; ++i)
        x[i] *= 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(n - 1));
}

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * kPi / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// The strongest frequency above 20 Hz: the peak of a zero-padded,
// Hann-windowed spectrum, refined by a parabola through the peak bin and
// its neighbours.
double dominant(std::vector<double> x, int rate)
{
    const size_t most = size_t(1) << 18; // about five seconds at 48 kHz
    if (x.size() > most)
        x.erase(x.begin(), x.begin() + (x.size() - most) / 2), x.resize(most);
    hann(x);
    size_t n = 1;
    while (n < 4 * x.size())
        n <<= 1;
    std::vector<std::complex<double>> a(n);
    std::copy(x.begin(), x.end(), a.begin());
    fft(a);
    const double binHz = double(rate) / double(n);
    size_t best = 0;
    double bestMag = -1;
    for (size_t k = std::max<size_t>(1, size_t(20 / binHz)); k + 1 < n / 2; ++k) {
        const double m = std::abs(a[k]);
        if (m > bestMag)
            bestMag = m, best = k;
    }
    if (best == 0)
        return 0;
    const double l = std::log(std::abs(a[best - 1]) + 1e-30), c = std::log(bestMag + 1e-30),
                 r = std::log(std::abs(a[best + 1]) + 1e-30);
    const double denom = l - 2 * c + r;
    const double shift = denom != 0 ? 0.5 * (l - r) / denom : 0;
    return (double(best) + shift) * binHz;
}

} // namespace

Sound soundFromRaw(const std::vector<unsigned char>& bytes, int rate, int channels)
{
    Sound s;
    s.rate = rate;
    s.channels = channels;
    const size_t frames = bytes.size() / (2 * size_t(channels));
    s.samples.resize(frames * channels);
    for (size_t i = 0; i < s.samples.size(); ++i)
        s.samples[i] = float(int16_t(le16(&bytes[2 * i]))) / 32768.0f;
    return s;
}

bool readRaw(const std::string& path, int rate, int channels, Sound& out)
{
    bool ok;
    const auto bytes = fileBytes(path, ok);
    if (ok)
        out = soundFromRaw(bytes, rate, channels);
    return ok;
}

bool soundFromWave(const std::vector<unsigned char>& b, Sound& out)
{
    if (b.size() < 12 || std::memcmp(&b[0], "RIFF", 4) || std::memcmp(&b[8], "WAVE", 4))
        return false;
    int channels = 0, bits = 0;
    uint32_t rate = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        const uint32_t size = le32(&b[at + 4]);
        const size_t body = at + 8;
        const size_t room = std::min<size_t>(size, b.size() - body);
        if (!std::memcmp(&b[at], "fmt ", 4) && room >= 16) {
            if (le16(&b[body]) != 1)
                return false; // PCM only
            channels = le16(&b[body + 2]);
            rate = le32(&b[body + 4]);
            bits = le16(&b[body + 14]);
        } else if (!std::memcmp(&b[at], "data", 4)) {
            if (channels < 1 || rate == 0 || (bits != 8 && bits != 16))
                return false;
            out = Sound{};
            out.rate = int(rate);
            out.channels = channels;
            const size_t width = bits / 8;
            const size_t count = room / width / channels * channels;
            out.samples.resize(count);
            for (size_t i = 0; i < count; ++i)
                out.samples[i] = bits == 16 ? float(int16_t(le16(&b[body + 2 * i]))) / 32768.0f
                                            : float(int(b[body + i]) - 128) / 128.0f;
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

bool readWave(const std::string& path, Sound& out)
{
    bool ok;
    const auto bytes = fileBytes(path, ok);
    return ok && soundFromWave(bytes, out);
}

Sound slice(const Sound& s, double fromSec, double toSec)
{
    Sound out;
    out.rate = s.rate;
    out.channels = s.channels;
    const size_t frames = s.channels ? s.samples.size() / s.channels : 0;
    auto frameAt = [&](double sec) {
        return std::min(frames, size_t(std::max(0.0, std::floor(sec * s.rate + 0.5))));
    };
    const size_t from = frameAt(fromSec), to = std::max(from, frameAt(toSec));
    out.samples.assign(s.samples.begin() + from * s.channels, s.samples.begin() + to * s.channels);
    return out;
}

Figures measure(const Sound& s)
{
    Figures f;
    const Spans spans = burstsOf(s);
    if (spans.empty())
        return f;
    f.heard = true;
    f.startSec = double(spans.front().first) / s.rate;
    f.spanSec = double(spans.back().second - spans.front().first + 1) / s.rate;
    f.bursts = int(spans.size());
    for (size_t k = 1; k < spans.size(); ++k)
        f.longestGapSec = std::max(f.longestGapSec, double(spans[k].first - spans[k - 1].second - 1) / s.rate);
    double all = 0;
    size_t count = 0;
    for (int c = 0; c < s.channels; ++c) {
        const std::vector<double> x = channelOver(s, spans, c);
        double sum = 0;
        for (double v : x)
            sum += v * v;
        all += sum;
        count += x.size();
        if (c < 2) {
            f.channelDb[c] = toDb(std::sqrt(sum / double(x.size())));
            f.channelHz[c] = dominant(x, s.rate);
        }
    }
    if (s.channels == 1) {
        f.channelDb[1] = f.channelDb[0];
        f.channelHz[1] = f.channelHz[0];
    }
    f.soundingSec = double(count / s.channels) / s.rate;
    f.rmsDb = toDb(std::sqrt(all / double(count)));
    return f;
}

double levelAtDb(const Sound& s, double hz)
{
    const Spans spans = burstsOf(s);
    if (spans.empty())
        return -200;
    std::vector<double> x = channelOver(s, spans, -1);
    hann(x);
    double gain = 0;
    for (size_t i = 0; i < x.size(); ++i)
        gain += 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(std::max<size_t>(1, x.size() - 1)));
    // The platform may resample a hair off the source's pitch: the strongest
    // response within 1 % of `hz`.
    double best = 0;
    for (int k = -20; k <= 20; ++k) {
        const std::complex<double> step = std::polar(1.0, -2 * kPi * hz * (1 + 0.0005 * k) / s.rate);
        std::complex<double> acc = 0, rot = 1;
        for (size_t i = 0; i < x.size(); ++i, rot *= step)
            acc += x[i] * rot;
        best = std::max(best, 2 * std::abs(acc) / gain);
    }
    return toDb(best);
}

std::string describe(const Figures& f)
{
    if (!f.heard)
        return "silence";
    char buf[240];
    std::snprintf(buf, sizeof buf,
                  "%.2f dBFS (left %.2f, right %.2f), %.2f / %.2f Hz, %.0f ms sounding in %d burst(s) over %.0f ms "
                  "from %.0f ms, longest gap %.0f ms",
                  f.rmsDb, f.channelDb[0], f.channelDb[1], f.channelHz[0], f.channelHz[1], f.soundingSec * 1000,
                  f.bursts, f.spanSec * 1000, f.startSec * 1000, f.longestGapSec * 1000);
    return buf;
}
