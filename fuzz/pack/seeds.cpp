// The seed corpus, made in code so that nothing binary is committed.
#include <string>

#include "pack_fuzz_entry.h"

namespace {

std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string header(uint32_t dataStart, uint32_t count, const std::string& magic = "DPMX")
{
    return magic + le32(dataStart) + le32(count) + le32(0);
}

std::string record(const std::string& name, uint32_t offset, uint32_t size)
{
    std::string field = name.substr(0, 24);
    field.resize(24, '\0');
    return field + le32(offset) + le32(size);
}

std::vector<uint8_t> input(uint8_t flags, uint8_t base, const std::string& key, const std::string& file)
{
    std::string s;
    s += static_cast<char>(flags);
    s += static_cast<char>(base);
    s += static_cast<char>(key.size());
    s += key + file;
    return std::vector<uint8_t>(s.begin(), s.end());
}

} // namespace

std::vector<std::vector<uint8_t>> packFuzzSeeds()
{
    const std::string three =
        header(16 + 3 * 32, 3) + record("a.txt", 0, 5) + record("b.bin", 5, 300) + record("empty", 305, 0) + "alpha" +
        std::string(300, 'b');
    std::string embedded = header(80, 2) + record("e", 16, 4) + record("f", 20, 9);
    embedded.resize(80 + 16, '.');
    embedded += "DATAshort";

    return {
        input(0, 0, "A.TXT", three),
        input(1, 0, "b.bin", three),
        input(2, 0, "empty", three),
        input(4, 0, "a.txt", three),                       // a second load is ignored
        input(0, 40, "e", std::string(40, 'x') + embedded), // inside a file, data start 80
        input(3, 40, "F", std::string(40, 'x') + embedded),
        input(0, 0, "cut", header(16 + 5 * 32, 5) + record("one", 0, 1) + std::string("cut\0\0\0\0\0\0\0", 10)),
        input(0, 0, "a.txt", header(16, 0)),               // no entries: replaced by the next load
        input(4, 0, "a.txt", header(48, 0x80000000u) + record("a.txt", 0, 1) + "x"),
        input(0, 0, "a.txt", "dPMX" + three.substr(4)),    // bad magic
        input(0, 0, "a.txt", "DPMX"),                      // header cut short
        input(0, 0, "x", header(48, 2) + record("x", 0, 1) + record("x", 1, 1) + "12"),
        input(0, 0, std::string(70, 'k'), three),          // names of 64 bytes or more
        input(0, 0, "big", header(48, 1) + record("big", 0, 0xFFFFFFFFu) + "data"),
        input(0, 0, "far", header(0x7FFFFFF0u, 1) + record("far", 0x10, 4) + "data"),
        input(0, 0, "wrap", header(0xFFFFFFFCu, 1) + record("wrap", 0x30, 4) + "data"),
        input(0, 0, std::string(28, 'n'), header(48, 1) + std::string(28, 'n') + std::string(4, '\0')),
        input(0, 0, "\x83\x41", header(48, 1) + record("\x83\x61", 0, 2) + "ok"),
        input(0, 0, "", ""),
    };
}
