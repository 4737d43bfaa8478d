// tolvo-ogg2wav: the plug-in's own Ogg Vorbis to WAVE conversion as a command
// line tool, so that a user can see what the plug-in makes of a file.
//
//   tolvo-ogg2wav [--memory] [--jobs N] FILE OUT.wav      (options may stand anywhere)
//
// Without --memory the file converter reads FILE by name (what a music file
// load does); with it, FILE's bytes are put in a buffer of whole 32-bit words
// and the memory converter reads them (what a load from a variable does).
// --jobs N decodes on at most N cores (1: one decoder from start to end);
// without it the machine's cores are used, as the plug-in uses them.
// OUT.wav "-" is standard output. OUT.wav is written beside its target and
// renamed over it when complete; OUT.wav that is FILE is refused.
// Exit status: 0 written, 1 conversion or file error, 2 wrong usage.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>
#include <vector>

#include "cmdline.h"
#include "files.h"
#include "ogg/oggwave.h"

namespace {

const char* const kUsage =
    "usage: tolvo-ogg2wav [--memory] [--jobs N] FILE OUT.wav\n"
    "  Decodes the Ogg Vorbis stream in FILE into a 16-bit PCM RIFF WAVE file,\n"
    "  exactly as tolvo.dll does when it loads the stream as music.\n"
    "  OUT.wav - writes the WAVE to standard output. Options may stand anywhere.\n"
    "  --memory  decode from the file's bytes in memory, as a load from a\n"
    "            variable does (a stream damaged in mid-stream then keeps the\n"
    "            samples before the damage instead of failing)\n"
    "  --jobs N  decode on at most N cores (1: on one), from 1 to 999;\n"
    "            the image is the same whatever N is\n"
    "  --help    this text; --version  the version\n"
    "  Exit status: 0 written, 1 not converted or not written, 2 wrong usage.\n";

const std::vector<ToolOption> kOptions = {
    {"--memory", 0, false},
    {"--jobs", 'j', true},
    {"--help", 'h', false},
    {"--version", 0, false},
};

int usageError(const std::string& what)
{
    fprintf(stderr, "tolvo-ogg2wav: %s\n", what.c_str());
    fputs(kUsage, stderr);
    return 2;
}

// The file being written while the stream decodes: each stretch of samples
// goes out as soon as it is decoded, from the decoding threads, and the
// header last.
struct Writing {
    OutputFile* out;
    std::atomic<int> error{0}; // errno of the first write that failed
};

void writePart(void* context, int32_t offset, const unsigned char* bytes, int32_t n)
{
    Writing* w = static_cast<Writing*>(context);
    if (w->error == 0 && !writeAt(*w->out, WAVE_HEADER_BYTES + static_cast<uint64_t>(offset), bytes, static_cast<size_t>(n))) {
        int none = 0;
        w->error.compare_exchange_strong(none, errno ? errno : EIO);
    }
}

int failure(const std::string& name, const std::string& what)
{
    fprintf(stderr, "tolvo-ogg2wav: %s: %s\n", name.c_str(), what.c_str());
    return 1;
}

// FILE's bytes as a host variable holds them: rounded up to whole words.
int loadVariable(const char* path, TolvoVar* var)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return 0;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    if (size < 0 || size > 0x7ffffffcL || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        errno = EFBIG;
        return 0;
    }
    const size_t words = (static_cast<size_t>(size) + 3) / 4;
    void* data = calloc(words ? words : 1, 4);
    if (!data || fread(data, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size)) {
        free(data);
        fclose(f);
        errno = data ? EIO : ENOMEM;
        return 0;
    }
    fclose(f);
    memset(var, 0, sizeof *var);
    var->word_count = static_cast<int32_t>(words);
    var->data = data;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    ToolArgs args;
    std::string error;
    if (!parseToolArgs(argc, argv, kOptions, args, error))
        return usageError(error);
    if (hasOption(args, "--help") || hasOption(args, "--version")) {
        if (hasOption(args, "--help"))
            fputs(kUsage, stdout);
        else
            printVersion(stdout, "tolvo-ogg2wav");
        return finishOutput(stdout, stderr, "tolvo-ogg2wav", 0);
    }
    if (args.operands.size() < 2)
        return usageError(args.operands.empty() ? "no FILE and no OUT.wav given" : "no OUT.wav given");
    if (args.operands.size() > 2)
        return usageError("one FILE and one OUT.wav; '" + args.operands[2] + "' is one too many");
    const bool memory = hasOption(args, "--memory");
    OggSplit split;
    if (hasOption(args, "--jobs")) {
        const std::string n = optionValue(args, "--jobs");
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
            (split.jobs = atoi(n.c_str())) < 1)
            return usageError("--jobs takes a whole number from 1 to 999, not '" + n + "'");
    }
    const std::string in = args.operands[0];
    const std::string out = args.operands[1];
    if (in == "-")
        return usageError("FILE '-' would be standard input, which is not read; name the Ogg Vorbis file");
    // Before anything is read or written: one mistyped extension must not
    // turn the source into its own WAVE.
    if (out != "-" && sameFile(in, out)) {
        fprintf(stderr, "tolvo-ogg2wav: %s is %s itself; the WAVE would replace the Ogg Vorbis file\n", out.c_str(),
                in.c_str());
        return 2;
    }

    if (isFolder(in))
        return failure(in, "is a folder, not an Ogg Vorbis file");
    if (out != "-" && isFolder(out))
        return failure(out, "is a folder; name the WAVE file to write");
    // The converters only say yes or no; opening the file first gives the
    // user the system's reason when it cannot be read at all.
    FILE* probe = fopen(in.c_str(), "rb");
    if (!probe)
        return failure(in, strerror(errno));
    fclose(probe);

    // Opened first, so that the samples go out while the stream decodes.
    OutputFile wave;
    if (!openOutput(out, stdout, wave, error)) {
        fprintf(stderr, "tolvo-ogg2wav: %s\n", error.c_str());
        return 1;
    }
    Writing writing;
    writing.out = &wave;
    if (!wave.temp.empty()) {
        split.decodedPart = writePart;
        split.context = &writing;
    }
    void* image = nullptr;
    int32_t size = 0;
    int ok;
    if (memory) {
        TolvoVar var;
        if (!loadVariable(in.c_str(), &var)) {
            const std::string reason = strerror(errno);
            discardOutput(wave);
            return failure(in, reason);
        }
        ok = oggMemToWaveSplit(&var, 2, &image, &size, &split);
        free(var.data);
    } else {
        ok = oggFileToWaveSplit(in.c_str(), 2, &image, &size, &split);
    }
    if (!ok) {
        discardOutput(wave);
        return failure(in, std::string("cannot convert: not an Ogg Vorbis stream, damaged") +
                               (memory ? " in its headers" : " (try --memory to keep the samples before the damage)") +
                               ", or too long for a WAVE image below 2 GiB");
    }

    bool written;
    if (split.decodedPart) {
        errno = writing.error;
        written = writing.error == 0 && writeAt(wave, 0, image, WAVE_HEADER_BYTES) &&
                  resizeOutput(wave, static_cast<uint64_t>(size));
    } else {
        written = fwrite(image, 1, static_cast<size_t>(size), wave.stream) == static_cast<size_t>(size);
    }
    if (!written) {
        error = writeError(wave);
        discardOutput(wave);
    } else {
        written = commitOutput(wave, error);
    }
    free(image);
    if (!written) {
        fprintf(stderr, "tolvo-ogg2wav: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
