// Files as the tools handle them. Names are the system's own: UTF-8 on
// Linux, the ANSI code page on Windows (the tools are ANSI programs).
//
// No tool destroys a file: an output is written under a temporary name in
// its target's folder and renamed over the target only when it is complete,
// and an output that is one of the inputs (the same file, however it is
// spelt) is refused before anything is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Who a file is: device and inode, or volume serial number and file index.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileId&) const = default;
};

// False when there is no such file (or it cannot be looked at).
bool fileIdentity(const std::string& name, FileId& id);

// Both names are one existing file: also through other spellings, case
// (where the file system ignores it), links, "./x" against "x".
bool sameFile(const std::string& a, const std::string& b);

bool isFolder(const std::string& name);

// The last part of a path.
std::string baseName(const std::string& path);

// Makes the folder and its parents. False with the system's reason.
bool makeFolders(const std::string& path, std::string& error);

// Where a system name has path separators: '/' on Linux; '/', '\\' and ':'
// on Windows, but not the second byte of a double-byte character there.
std::vector<size_t> separatorsIn(const std::string& name);

// An output under construction. The target "-" is standard output.
struct OutputFile {
    std::string target;      // as given, for messages
    std::string destination; // what is replaced: the target, or where its link leads
    std::string temp;        // empty while writing to standard output
    FILE* stream = nullptr;
};

// Opens a temporary file beside the target (or standard output, in binary
// mode, for "-"). The target itself is not touched.
bool openOutput(const std::string& target, FILE* standardOutput, OutputFile& out, std::string& error);

// Closes the stream and renames the temporary file over the target, keeping
// an existing target's permissions. On failure the temporary file is
// removed and the target is as it was.
bool commitOutput(OutputFile& out, std::string& error);

// Closes and removes the temporary file; the target is as it was.
void discardOutput(OutputFile& out);

// The size of an open file, or -1.
int64_t streamSize(FILE* f);

bool seekStream(FILE* f, uint64_t position);

// The C library's reason for its last failed call (errno).
std::string lastSystemError();
