// Packs made in memory for the tests, and files named for the running test
// case (CTest runs cases side by side in one folder).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string le32(uint32_t v)
{
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

inline std::string dpmxHeader(uint32_t dataStart, uint32_t count, const std::string& magic = "DPMX")
{
    return magic + le32(dataStart) + le32(count) + le32(0);
}

// A 32-byte record; the name is cut or zero-padded to its 24-byte field.
inline std::string dpmxRecord(const std::string& name, uint32_t offset, uint32_t size)
{
    std::string field = name.substr(0, 24);
    field.resize(24, '\0');
    return field + le32(offset) + le32(size);
}

struct TestEntry {
    std::string name; // stored as given, not lowered
    std::string data;
};

// A pack as tolvo-pack writes it: data start 16 + 32 x count, data in order.
inline std::string dpmxPack(const std::vector<TestEntry>& entries)
{
    const uint32_t n = static_cast<uint32_t>(entries.size());
    std::string dir, data;
    for (const auto& e : entries) {
        dir += dpmxRecord(e.name, static_cast<uint32_t>(data.size()), static_cast<uint32_t>(e.data.size()));
        data += e.data;
    }
    return dpmxHeader(16 + 32 * n, n) + dir + data;
}

// A file name of the running test case's own: a hash of its name and the
// leaf, short enough for the reader's 63-byte pack names.
inline std::string scratchName(const std::string& leaf)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string id = std::string(info->test_suite_name()) + "." + info->name();
    uint32_t h = 2166136261u;
    for (unsigned char c : id)
        h = (h ^ c) * 16777619u;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "t%08x_", h);
    return prefix + leaf;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

inline std::string readFile(const std::string& path)
{
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    std::fclose(f);
    return s;
}
