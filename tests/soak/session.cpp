#include "session.h"

#include <cstring>
#include <vector>

namespace {

// Music files by name: good ones of each kind, and ones that fail in each
// way (missing, not Ogg Vorbis, damaged, a chain whose last link is cut).
const char* const kMusicFiles[] = {
    "music/tone.wav", "music/tune.mid", "ogg/stereo22050.ogg", "ogg/intact.ogg", "ogg/chained.ogg",
    "ogg/damaged.ogg", "ogg/cutchain.ogg", "ogg/notogg.bin", "ogg/missing.ogg", "music/missing.mid",
};
// Uncompressed video only: Wine 8 keeps a thread with its stack and about
// 1.5 MB of every Motion-JPEG movie played, which would hide what the
// plug-in keeps (the e2e test plays one).
const char* const kMovieFiles[] = {"movie/raw.avi", "movie/missing.avi"};
const char* const kPackEntries[] = {"tune.mid", "TUNE.MID", "tone.wav", "theme.ogg", "missing", ""};

// One pack read per this many steps at most: each read keeps its buffer
// until tovbye (and the ones before the last for good), so reads are kept
// few and small, and their bytes are counted.
constexpr int64_t kStepsPerPackRead = 400;

} // namespace

struct Session::Variables {
    HostVariable wave{0, TOLVO_TYPE_INT, readFile(fixture("music/tone.wav"))};
    HostVariable midi{0, TOLVO_TYPE_INT, readFile(fixture("music/tune.mid"))};
    HostVariable ogg{0, TOLVO_TYPE_INT, readFile(fixture("ogg/stereo22050.ogg"))};
    HostVariable cutchain{0, TOLVO_TYPE_INT, readFile(fixture("ogg/cutchain.ogg"))};
    HostVariable text{16, TOLVO_TYPE_STRING};
    HostVariable number{16, TOLVO_TYPE_INT};
    // Filled by tovdpmread, then loaded as music.
    HostVariable packed{16, TOLVO_TYPE_INT};
    HostInteger result;
};

Session::Session(uint64_t seed, TolvoWindowInfo* info, ResultCheck& check, std::function<void()> beforeBye)
    : state_(seed), info_(info), check_(check), beforeBye_(std::move(beforeBye)), vars_(new Variables)
{
}

Session::~Session() = default;

// splitmix64: the same sequence from a seed on every platform.
uint64_t Session::next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int32_t Session::slot()
{
    static const int32_t odd[] = {-1, 255, 256, 1000};
    return pick(8) ? pick(8) : odd[pick(4)];
}

int32_t Session::joystick()
{
    return pick(12) - 2;
}

HostVariable& Session::someVariable()
{
    HostVariable* all[] = {&vars_->text, &vars_->number, &vars_->wave, &vars_->packed};
    return *all[pick(4)];
}

int Session::call(const char* name, int result)
{
    ++calls_[name][result];
    check_.listed(name, result);
    Variables& v = *vars_;
    const bool intact = v.wave.guardsIntact() && v.midi.guardsIntact() && v.ogg.guardsIntact() &&
                        v.cutchain.guardsIntact() && v.text.guardsIntact() && v.number.guardsIntact() &&
                        v.packed.guardsIntact() && v.result.guardsIntact();
    check_.guards(name, intact);
    return result;
}

void Session::start()
{
    // Mostly every engine; now and then a game that leaves some out.
    static const int masks[] = {7, 7, 7, 7, 7, 7, 1, 2, 3, 4, 5, 6, 0, 8, -1};
    mask_ = masks[pick(15)];
    call("tovinit", tovinit(info_, mask_, pick(2), 0));
    const int engines = (mask_ >= 1 && mask_ <= 7) ? mask_ : 7;
    counts_.musicStarts += (engines & 2) != 0;
    counts_.graphs += (engines & 4) != 0;
    started_ = true;
    movieLoaded_ = false;
}

void Session::input()
{
    int32_t* r = vars_->result.pointer();
    switch (pick(9)) {
    case 0: call("tovmousestate", tovmousestate(r, 0, 0, 0)); break;
    case 1: call("tovkeystate", tovkeystate(r, pick(3) ? 0 : 1, 0, 0)); break;
    case 2: call("tovkeytrigger", tovkeytrigger(r, pick(3) ? 0 : 1, 0, 0)); break;
    case 3: call("tovjoynum", tovjoynum(r, 0, 0, 0)); break;
    case 4: call("tovjoyname", tovjoyname(someVariable().record(), joystick(), 0, 0)); break;
    case 5: call("tovjoyforce", tovjoyforce(someVariable().record(), joystick(), 0, 0)); break;
    case 6: call("tovjoystate", tovjoystate(r, joystick(), 0, 0)); break;
    case 7: call("tovjoytrigger", tovjoytrigger(r, joystick(), 0, 0)); break;
    default: call("tovjoyshock", tovjoyshock(joystick(), 0, 0, 0)); break;
    }
}

void Session::music()
{
    Variables& v = *vars_;
    int32_t* r = v.result.pointer();
    switch (pick(16)) {
    case 0: {
        const std::string file = fixture(kMusicFiles[pick(10)]);
        call("tovmusicload", tovmusicload(slot(), file.c_str(), 0, 0));
        break;
    }
    case 1: {
        HostVariable* from[] = {&v.wave, &v.midi, &v.ogg, &v.cutchain, &v.number, &v.packed};
        call("tovmusicload2", tovmusicload2(from[pick(6)]->record(), slot(), 0, 0));
        break;
    }
    case 2:
    case 3: call("tovmusicplay", tovmusicplay(slot(), pick(4) - 1, 0, 0)); break;
    case 4: call("tovmusicplay2", tovmusicplay2(slot(), pick(4) - 1, 0, 0)); break;
    case 5: call("tovmusicstop", tovmusicstop(pick(3) ? slot() : -1, 0, 0, 0)); break;
    case 6:
    case 7: call("tovmusiccheck", tovmusiccheck(slot(), 0, 0, 0)); break;
    case 8: call("tovmusicgetvol", tovmusicgetvol(r, 0, 0, 0)); break;
    case 9: call("tovmusicsetvol", tovmusicsetvol(0, -pick(3000), 0, 0)); break;
    case 10: call("tovmusicgettenpo", tovmusicgettenpo(r, 0, 0, 0)); break;
    case 11: call("tovmusicsettenpo", tovmusicsettenpo(pick(30), 0, 0, 0)); break;
    case 12:
    case 13: call("tovmusicsetpos", tovmusicsetpos(pick(6) - 1, pick(2001) - 1000, 0, 0)); break;
    default: call("tovmusicfx", tovmusicfx(pick(12) - 1, 0, 0, 0)); break;
    }
}

// A movie is loaded, played, polled and freed, as a game does; the other
// commands also come while nothing is loaded.
void Session::movie()
{
    // A new scene now and then: rendering a movie takes a few tenths of a
    // second.
    if (!movieLoaded_ && pick(500) == 0) {
        const std::string file = fixture(kMovieFiles[pick(2)]);
        movieLoaded_ = call("tovmovieload", tovmovieload(file.c_str(), 0, 0, 0)) == 0;
        counts_.renders += movieLoaded_;
        return;
    }
    switch (pick(8)) {
    case 0: call("tovmovieplay", tovmovieplay(0, 0, 0, 0)); break;
    case 1: call("tovmoviestop", tovmoviestop(0, 0, 0, 0)); break;
    case 2: call("tovmoviesize", tovmoviesize(pick(100), pick(100), pick(400) - 20, pick(300))); break;
    case 3:
        if (call("tovmoviefree", tovmoviefree(0, 0, 0, 0)) == 0) {
            movieLoaded_ = false;
            ++counts_.graphs;
        }
        break;
    default: call("tovmoviecheck", tovmoviecheck(0, 0, 0, 0)); break;
    }
}

void Session::pack()
{
    Variables& v = *vars_;
    switch (pick(4)) {
    case 0: {
        // The command cuts its text at the comma: a fresh copy each time.
        std::string text = fixture(pick(4) ? "music/music.dpm,0" : "music/missing.dpm,0");
        call("tovdpmload", tovdpmload(0, text.data(), 0, 0));
        break;
    }
    case 1:
    case 2:
        call("tovdpmsize", tovdpmsize(v.number.record(), kPackEntries[pick(6)], 0, 0));
        break;
    default: {
        if (packReads_ >= steps_ / kStepsPerPackRead + 1) {
            call("tovdpmsize", tovdpmsize(v.number.record(), kPackEntries[pick(6)], 0, 0));
            break;
        }
        // Mostly the small entry; now and then music that is then loaded.
        const char* entry = pick(4) ? "tune.mid" : kPackEntries[pick(6)];
        v.packed.reset();
        if (call("tovdpmread", tovdpmread(v.packed.record(), entry, 0, 0)) == 0) {
            ++packReads_;
            const int64_t bytes = int64_t{v.packed.record()->word_count} * 4;
            keptBytes_ += bytes < 64 ? 64 : bytes;
            lastReadBytes_ = bytes < 64 ? 64 : bytes;
        }
        break;
    }
    }
}

void Session::utility()
{
    int32_t* r = vars_->result.pointer();
    const int32_t any = static_cast<int32_t>(next());
    switch (pick(400)) {
    case 0:
        call("tovdxver", tovdxver(someVariable().record(), 0, 0, 0));
        ++counts_.diagnoses;
        break;
    case 1: call("test", test(someVariable().record(), 0, 0, 0)); break;
    case 2: call("tovsysmode", tovsysmode(pick(3), 0, 0, 0)); break;
    default:
        switch (pick(5)) {
        case 0: call("tovfps", tovfps(r, 0, 0, 0)); break;
        case 1: call("tovsin", tovsin(r, any, pick(3) ? 0 : pick(1000) - 1, 0)); break;
        case 2: call("tovcos", tovcos(r, any, pick(3) ? 0 : pick(1000) - 1, 0)); break;
        case 3: call("tovatan", tovatan(r, pick(2001) - 1000, pick(2001) - 1000, 0)); break;
        default: call("tovsqr", tovsqr(r, any, 0, 0)); break;
        }
    }
}

bool Session::step()
{
    ++steps_;
    if (!started_) {
        start();
        return false;
    }
    // A game restarts now and then (a new level, a return to the title).
    if (pick(250) == 0) {
        end();
        return true;
    }
    // A frame's polling is the most common; the rest as a game might.
    const int what = pick(100);
    if (what < 35)
        input();
    else if (what < 60)
        music();
    else if (what < 70)
        movie();
    else if (what < 80)
        pack();
    else
        utility();
    return false;
}

void Session::end()
{
    if (started_) {
        beforeBye_();
        call("tovbye", tovbye(0, 0, 0, 0));
    }
    // tovbye freed the last read buffer; the ones before stay.
    keptBytes_ -= lastReadBytes_;
    lastReadBytes_ = 0;
    vars_->packed.reset();
    started_ = false;
}
