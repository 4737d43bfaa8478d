// tolvo-ogg2wav: the plug-in's own Ogg Vorbis to WAVE conversion as a command
// line tool, so that a user can see what the plug-in makes of a file.
//
//   tolvo-ogg2wav FILE OUT.wav [--memory] [--jobs N]
//
// Without --memory the file converter reads FILE by name (what a music file
// load does); with it, FILE's bytes are put in a buffer of whole 32-bit words
// and the memory converter reads them (what a load from a variable does).
// --jobs N decodes on at most N cores (1: one decoder from start to end);
// without it the machine's cores are used, as the plug-in uses them.
// Exit status: 0 written, 1 conversion or file error, 2 wrong arguments.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "music/oggwave.h"

namespace {

const char* const kUsage =
    "usage: tolvo-ogg2wav FILE OUT.wav [--memory] [--jobs N]\n"
    "  Decodes the Ogg Vorbis stream in FILE into a 16-bit PCM RIFF WAVE file,\n"
    "  exactly as tolvo.dll does when it loads the stream as music.\n"
    "  --memory  decode from the file's bytes in memory, as a load from a\n"
    "            variable does (a stream damaged in mid-stream then keeps the\n"
    "            samples before the damage instead of failing)\n"
    "  --jobs N  decode on at most N cores (1: on one); the image is the same\n";

// --jobs takes a whole number from 1 to 999.
int parseJobs(const char* text)
{
    if (!text || !*text || strlen(text) > 3 || strspn(text, "0123456789") != strlen(text))
        return 0;
    return atoi(text);
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
    bool memory = false;
    OggSplit split;
    const char* in = nullptr;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--memory") == 0)
            memory = true;
        else if (strcmp(argv[i], "--jobs") == 0) {
            split.jobs = parseJobs(i + 1 < argc ? argv[++i] : nullptr);
            if (split.jobs < 1) {
                fputs(kUsage, stderr);
                return 2;
            }
        }
        else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        } else if (!in)
            in = argv[i];
        else if (!out)
            out = argv[i];
        else {
            fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!in || !out) {
        fputs(kUsage, stderr);
        return 2;
    }

    // The converters only say yes or no; opening the file first gives the
    // user the system's reason when it cannot be read at all.
    FILE* probe = fopen(in, "rb");
    if (!probe) {
        fprintf(stderr, "tolvo-ogg2wav: %s: %s\n", in, strerror(errno));
        return 1;
    }
    fclose(probe);

    void* image = nullptr;
    int32_t size = 0;
    int ok;
    if (memory) {
        TolvoVar var;
        if (!loadVariable(in, &var)) {
            fprintf(stderr, "tolvo-ogg2wav: %s: %s\n", in, strerror(errno));
            return 1;
        }
        ok = oggMemToWaveSplit(&var, 2, &image, &size, &split);
        free(var.data);
    } else {
        ok = oggFileToWaveSplit(in, 2, &image, &size, &split);
    }
    if (!ok) {
        fprintf(stderr,
                "tolvo-ogg2wav: %s: cannot convert: not an Ogg Vorbis stream, damaged%s, "
                "or too long for a WAVE image below 2 GiB\n",
                in, memory ? " in its headers" : " (try --memory to keep the samples before the damage)");
        free(image);
        return 1;
    }

    FILE* f = fopen(out, "wb");
    if (!f) {
        fprintf(stderr, "tolvo-ogg2wav: %s: %s\n", out, strerror(errno));
        free(image);
        return 1;
    }
    const bool written = fwrite(image, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    const int err = errno;
    if (fclose(f) != 0 || !written) {
        fprintf(stderr, "tolvo-ogg2wav: %s: %s\n", out, strerror(written ? errno : err));
        free(image);
        remove(out);
        return 1;
    }
    free(image);
    return 0;
}
