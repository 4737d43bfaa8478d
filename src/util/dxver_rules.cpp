// The DirectX version probe's decisions: which answer counts, the table of
// system libraries that first shipped with each release, and the text.
#include <cstdio>
#include <cstring>

#include "util.h"

namespace {

enum DxRule {
    kAtLeast,       // the whole version is at least `atLeast`
    kMajor4Or5,     // major field 4 and at least `atLeast`, or 5 and at least `atLeastMajor5`
    kHasVersion,    // any version information at all
};

struct DxFileRow {
    const char* file;
    DxRule rule;
    uint64_t atLeast;
    uint64_t atLeastMajor5;
    DxVersion result;
};

constexpr uint64_t v(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    return (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
}

// Tried in this order; a later match overrides an earlier one.
const DxFileRow kDxFileRows[] = {
    {"ddraw.dll", kAtLeast, v(4, 2, 0, 95), 0, {1, 0, ' '}},
    {"ddraw.dll", kAtLeast, v(4, 3, 0, 1096), 0, {2, 0, ' '}},
    {"ddraw.dll", kAtLeast, v(4, 4, 0, 68), 0, {3, 0, ' '}},
    {"d3drg8x.dll", kAtLeast, v(4, 4, 0, 70), 0, {3, 0, 'a'}},
    {"ddraw.dll", kAtLeast, v(4, 5, 0, 155), 0, {5, 0, ' '}},
    {"ddraw.dll", kAtLeast, v(4, 6, 0, 318), 0, {6, 0, ' '}},
    {"ddraw.dll", kAtLeast, v(4, 6, 0, 436), 0, {6, 1, ' '}},
    {"dplayx.dll", kAtLeast, v(4, 6, 3, 518), 0, {6, 1, 'a'}},
    {"ddraw.dll", kAtLeast, v(4, 7, 0, 700), 0, {7, 0, ' '}},
    {"dinput.dll", kAtLeast, v(4, 7, 0, 716), 0, {7, 0, 'a'}},
    {"ddraw.dll", kMajor4Or5, v(4, 8, 0, 400), v(5, 1, 2258, 400), {8, 0, ' '}},
    {"d3d8.dll", kMajor4Or5, v(4, 8, 1, 881), v(5, 1, 2600, 881), {8, 1, ' '}},
    {"d3d8.dll", kMajor4Or5, v(4, 8, 1, 901), v(5, 1, 2600, 901), {8, 1, 'a'}},
    {"mpg2splt.ax", kAtLeast, v(6, 3, 1, 885), 0, {8, 1, 'b'}},
    {"dpnet.dll", kMajor4Or5, v(4, 9, 0, 134), v(5, 2, 3677, 134), {8, 2, ' '}},
    {"d3d9.dll", kHasVersion, 0, 0, {9, 0, ' '}},
};

bool rowMatches(const DxFileRow& row, uint64_t version)
{
    switch (row.rule) {
    case kAtLeast:
        return compareFileVersion(version, row.atLeast) >= 0;
    case kMajor4Or5: {
        const uint64_t major = version >> 48;
        if (major == 4)
            return compareFileVersion(version, row.atLeast) >= 0;
        if (major == 5)
            return compareFileVersion(version, row.atLeastMajor5) >= 0;
        return false;
    }
    case kHasVersion:
        return true;
    }
    return false;
}

} // namespace

uint64_t composeFileVersion(uint16_t a, uint16_t b, uint16_t c, uint16_t d)
{
    return v(a, b, c, d);
}

int compareFileVersion(uint64_t x, uint64_t y)
{
    return x < y ? -1 : (x > y ? 1 : 0);
}

void fallbackDxVersion(const DxProbeOps& ops, DxVersion* version)
{
    *version = {0, 0, ' '};
    char dir[kSystemDirSize] = {};
    if (!ops.getSystemDirectory(dir, sizeof dir))
        return;
    dir[sizeof dir - 1] = '\0';

    for (const DxFileRow& row : kDxFileRows) {
        // The directory is below 260 bytes and the longest name 11, so the
        // joined path always fits.
        char path[kSystemDirSize + 16];
        std::snprintf(path, sizeof path, "%s\\%s", dir, row.file);
        uint64_t found = 0;
        if (ops.readFileVersion(path, &found) && rowMatches(row, found))
            *version = row.result;
    }
}

void formatDxVersion(const DxVersion& version, char text[kDxVersionTextSize])
{
    char letter = version.letter;
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    // The fields are printed as the signed numbers "%d" makes of them.
    const int major = static_cast<int>(version.major);
    const int minor = static_cast<int>(version.minor);
    if (letter == ' ')
        std::snprintf(text, kDxVersionTextSize, "%d%d", major, minor);
    else
        std::snprintf(text, kDxVersionTextSize, "%d%d%c", major, minor, letter);
    text[kDxVersionTextSize - 1] = '\0';
}

void probeDxVersion(const DxProbeOps& ops, DxVersion* version, char text[kDxVersionTextSize])
{
    *version = {0, 0, ' '};
    if (!ops.queryDiagnostics(version))
        fallbackDxVersion(ops, version);
    formatDxVersion(*version, text);
}
