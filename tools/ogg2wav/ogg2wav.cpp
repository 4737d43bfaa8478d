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
bool loadVariable(const char* path, TolvoVar* var)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    long size = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        size = ftell(f);
    if (size < 0 || size > 0x7ffffffcL || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        errno = EFBIG;
        return false;
    }
    const size_t words = (static_cast<size_t>(size) + 3) / 4;
    void* data = calloc(words ? words : 1, 4);
    if (!data || fread(data, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size)) {
        free(data);
        fclose(f);
        errno = data ? EIO : ENOMEM;
        return false;
    }
    fclose(f);
    memset(var, 0, sizeof *var);
    var->word_count = static_cast<int32_t>(words);
    var->data = data;
    return true;
}

// What the command line asks for.
struct Request {
    std::string in, out;
    bool memory = false;
    OggSplit split;
};

// False with the exit status when the program ends here: --help, --version
// or a command line that is wrong.
bool readRequest(int argc, char** argv, Request& req, int& status)
{
    ToolArgs args;
    std::string error;
    status = 0;
    if (!parseToolArgs(argc, argv, kOptions, args, error)) {
        status = usageError(error);
        return false;
    }
    if (hasOption(args, "--help") || hasOption(args, "--version")) {
        if (hasOption(args, "--help"))
            fputs(kUsage, stdout);
        else
            printVersion(stdout, "tolvo-ogg2wav");
        status = finishOutput(stdout, stderr, "tolvo-ogg2wav", 0);
        return false;
    }
    if (args.operands.size() < 2)
        error = args.operands.empty() ? "no FILE and no OUT.wav given" : "no OUT.wav given";
    else if (args.operands.size() > 2)
        error = "one FILE and one OUT.wav; '" + args.operands[2] + "' is one too many";
    req.memory = hasOption(args, "--memory");
    if (error.empty() && hasOption(args, "--jobs")) {
        const std::string n = optionValue(args, "--jobs");
        if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
            (req.split.jobs = atoi(n.c_str())) < 1)
            error = "--jobs takes a whole number from 1 to 999, not '" + n + "'";
    }
    if (error.empty()) {
        req.in = args.operands[0];
        req.out = args.operands[1];
        if (req.in == "-")
            error = "FILE '-' would be standard input, which is not read; name the Ogg Vorbis file";
    }
    if (!error.empty()) {
        status = usageError(error);
        return false;
    }
    return true;
}

// Before anything is read or written: false with the exit status when the
// source or the target cannot be what they are meant to be.
bool pathsUsable(const Request& req, int& status)
{
    // One mistyped extension must not turn the source into its own WAVE.
    if (req.out != "-" && sameFile(req.in, req.out)) {
        fprintf(stderr, "tolvo-ogg2wav: %s is %s itself; the WAVE would replace the Ogg Vorbis file\n",
                req.out.c_str(), req.in.c_str());
        status = 2;
        return false;
    }
    status = 1;
    if (isFolder(req.in)) {
        failure(req.in, "is a folder, not an Ogg Vorbis file");
        return false;
    }
    if (req.out != "-" && isFolder(req.out)) {
        failure(req.out, "is a folder; name the WAVE file to write");
        return false;
    }
    // Opening the file first gives the user the system's reason when it
    // cannot be read at all, before an output is made.
    FILE* probe = fopen(req.in.c_str(), "rb");
    if (!probe) {
        failure(req.in, strerror(errno));
        return false;
    }
    fclose(probe);
    return true;
}

// What the user is told of a conversion that failed.
std::string failureText(OggFailure failure)
{
    switch (failure) {
    case OGG_EOPEN:
        return std::string("cannot be read: ") + strerror(errno);
    case OGG_ENOTVORBIS:
        return "cannot convert: not an Ogg Vorbis stream";
    case OGG_EBADHEADER:
        return "cannot convert: its headers are damaged or cut off";
    case OGG_EDAMAGED:
        return "cannot convert: damaged in mid-stream (try --memory to keep the samples before the damage)";
    case OGG_ETOOLONG:
        return "cannot convert: too long, its WAVE image would reach 2 GiB";
    case OGG_ENOMEM:
        return "cannot convert: not enough memory for its WAVE image" +
               std::string(sizeof(void*) < 8 ? " (a 32-bit program runs out of room long before 2 GiB)" : "");
    default:
        return "cannot convert";
    }
}

// The conversion into *image; false with what to tell the user.
bool decode(Request& req, void** image, int32_t* size, std::string& reason)
{
    int ok;
    OggFailure failure = OGG_CONVERTED;
    errno = 0;
    if (req.memory) {
        TolvoVar var;
        if (!loadVariable(req.in.c_str(), &var)) {
            reason = strerror(errno);
            return false;
        }
        ok = oggMemToWaveSplit(&var, 2, image, size, &req.split, &failure);
        free(var.data);
    } else {
        ok = oggFileToWaveSplit(req.in.c_str(), 2, image, size, &req.split, &failure);
    }
    if (!ok)
        reason = failureText(failure);
    return ok != 0;
}

// The image written out (only its header where the samples went out while
// the stream decoded), and the output put in its target's place; false with
// the error, the output discarded.
bool finishWave(OutputFile& wave, const Writing& writing, bool streamed, const void* image, int32_t size,
                std::string& error)
{
    bool written;
    if (streamed) {
        errno = writing.error;
        written = writing.error == 0 && writeAt(wave, 0, image, WAVE_HEADER_BYTES) &&
                  resizeOutput(wave, static_cast<uint64_t>(size));
    } else {
        written = fwrite(image, 1, static_cast<size_t>(size), wave.stream) == static_cast<size_t>(size);
    }
    if (!written) {
        error = writeError(wave);
        discardOutput(wave);
        return false;
    }
    return commitOutput(wave, error);
}

int convertAndWrite(Request& req)
{
    // Opened first, so that the samples go out while the stream decodes.
    OutputFile wave;
    std::string error;
    if (!openOutput(req.out, stdout, wave, error)) {
        fprintf(stderr, "tolvo-ogg2wav: %s\n", error.c_str());
        return 1;
    }
    Writing writing;
    writing.out = &wave;
    if (!wave.temp.empty()) {
        req.split.decodedPart = writePart;
        req.split.context = &writing;
    }
    void* image = nullptr;
    int32_t size = 0;
    if (!decode(req, &image, &size, error)) {
        discardOutput(wave);
        return failure(req.in, error);
    }
    const bool written = finishWave(wave, writing, req.split.decodedPart != nullptr, image, size, error);
    free(image);
    if (!written) {
        fprintf(stderr, "tolvo-ogg2wav: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Request req;
    int status = 0;
    if (!readRequest(argc, argv, req, status) || !pathsUsable(req, status))
        return status;
    return convertAndWrite(req);
}
