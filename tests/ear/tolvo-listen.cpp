// tolvo-listen: prints what the by-ear tests measure of a sound.
//
//   tolvo-listen [-r RATE -c CHANNELS] FILE [FROM TO] [@HZ...]
//
// FILE is a RIFF WAVE file (.wav) or raw 16-bit little-endian samples: by
// default what `wine-run --capture` records (stereo at 48000 Hz). FROM and
// TO (seconds) pick a stretch of it; each @HZ adds the level heard at that
// frequency.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "listen.h"

int main(int argc, char** argv)
{
    int rate = 48000, channels = 2, i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        if (argv[i] == std::string("-r"))
            rate = std::atoi(argv[i + 1]);
        else if (argv[i] == std::string("-c"))
            channels = std::atoi(argv[i + 1]);
        else
            break;
    }
    if (i >= argc || rate <= 0 || channels <= 0) {
        std::fprintf(stderr, "usage: tolvo-listen [-r RATE -c CHANNELS] FILE [FROM TO] [@HZ...]\n");
        return 2;
    }
    const std::string path = argv[i++];
    Sound s;
    const bool wave = path.size() > 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
    if (wave ? !readWave(path, s) : !readRaw(path, rate, channels, s)) {
        std::fprintf(stderr, "tolvo-listen: cannot read %s\n", path.c_str());
        return 1;
    }
    if (i + 1 < argc && argv[i][0] != '@') {
        s = slice(s, std::atof(argv[i]), std::atof(argv[i + 1]));
        i += 2;
    }
    std::printf("%.3f s, %d channel(s) at %d Hz: %s\n", s.seconds(), s.channels, s.rate, describe(measure(s)).c_str());
    for (; i < argc; ++i) {
        if (argv[i][0] != '@') {
            std::fprintf(stderr, "tolvo-listen: '%s' is not @HZ\n", argv[i]);
            return 2;
        }
        const double hz = std::atof(argv[i] + 1);
        std::printf("at %.1f Hz: %.2f dB\n", hz, levelAtDb(s, hz));
    }
    return 0;
}
