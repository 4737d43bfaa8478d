// Files as the tools handle them. Names are the system's own: UTF-8 on
// Linux, the ANSI code page on Windows (the tools are ANSI programs).
//
// No tool destroys a file: an output is written under a temporary name in
// its target's folder and renamed over the target only when it is complete
// (or a file is extended in place and cut back on failure), and an output
// that is one of the inputs (the same file, however it is spelt) is refused
// before anything is written.
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

// The same for a file open already.
bool streamIdentity(FILE* f, FileId& id);

// Both names are one existing file: also through other spellings, case
// (where the file system ignores it), links, "./x" against "x".
bool sameFile(const std::string& a, const std::string& b);

bool isFolder(const std::string& name);

// The last part of a path.
std::string baseName(const std::string& path);

// The files below a folder, by their paths below it ('/' between the
// parts), in the order the system lists them; folders are entered, but not
// through a link (a link to a file is a file). False with `error` when a
// folder cannot be read, or on Windows when a name in it holds characters
// that the ANSI code page cannot hold.
bool filesBelow(const std::string& folder, std::vector<std::string>& paths, std::string& error);

// A name that is a pattern: on Windows one that holds '*' or '?', which no
// file name can (elsewhere the shell expands patterns before a tool sees
// them, and a name is only a name).
bool isPattern(const std::string& name);

// The files and folders whose names match the pattern's last part ('*'
// any characters, '?' one; case is ignored, as Windows ignores it; only
// long names count), as the pattern's folder part and the name, in the
// order of their bytes. Windows only. False with `error` as filesBelow.
bool namesMatching(const std::string& pattern, std::vector<std::string>& paths, std::string& error);

// Makes the folder and its parents. False with the system's reason.
bool makeFolders(const std::string& path, std::string& error);

// Where a system name has path separators: '/' on Linux; '/', '\\' and ':'
// on Windows, but not the second byte of a double-byte character there.
std::vector<size_t> separatorsIn(const std::string& name);

// An output under construction. The target "-" is standard output; a
// target that is a device, a FIFO or a socket is written straight into,
// never replaced.
struct OutputFile {
    std::string target;      // as given, for messages
    std::string destination; // what is replaced: the target, or where its link leads
    std::string temp;        // empty while writing straight into the target
    bool fresh = false;      // temp is the target itself, made by this output: nothing to rename
    FILE* stream = nullptr;
    bool standardOutput = false;
    int undo = -1; // its place among what an interruption undoes
};

// Opens a temporary file beside the target (or standard output, in binary
// mode, for "-"; or the target itself when it is no regular file). The
// target itself is not touched. Until the output is committed or
// discarded, an interruption (SIGINT, SIGTERM, SIGHUP; Ctrl-C, Ctrl-Break
// on Windows) removes the temporary file before the tool ends. `absent`:
// the caller has just seen that nothing of the target's name exists (and
// that it names no device), so it is not looked at again (under Wine each
// look for a name that is missing reads through its whole folder), and the
// output is made under the target's own name, exclusively, and removed as a
// temporary file would be: there is nothing to keep, so it needs neither a
// rename nor a flush to the disk first.
bool openOutput(const std::string& target, FILE* standardOutput, OutputFile& out, std::string& error,
                bool absent = false);

// Closes the stream and renames the temporary file over the target, keeping
// an existing target's permissions. On failure the temporary file is
// removed and the target is as it was.
bool commitOutput(OutputFile& out, std::string& error);

// Closes and removes the temporary file; the target is as it was.
void discardOutput(OutputFile& out);

// For a temporary file: writes n bytes at `offset`, from any thread and
// beside the stream's own position, and sets the file's size. False with
// the system's reason in errno.
bool writeAt(OutputFile& out, uint64_t offset, const void* data, size_t n);
bool resizeOutput(OutputFile& out, uint64_t size);

// "cannot write TARGET: REASON" (or "to standard output") for the last
// failed write of the output.
std::string writeError(const OutputFile& out);

// A file extended in place: the file stays the one it was (its owner, mode,
// links and attributes), and what was appended is cut off again on a
// failure and on an interruption.
struct ExtendedFile {
    std::string name;
    FILE* stream = nullptr; // at the old end
    uint64_t length = 0;    // the old length
    int undo = -1;
};

bool openForExtending(const std::string& name, ExtendedFile& file, std::string& error);

// Flushes what was appended to the disk and closes the file; on a failure
// cuts it back to its old length, with `error` naming the file and the
// reason.
bool finishExtending(ExtendedFile& file, std::string& error);

// Cuts the file back to its old length and closes it.
void abandonExtending(ExtendedFile& file);

// The size of an open file, or -1.
int64_t streamSize(FILE* f);

bool seekStream(FILE* f, uint64_t position);

// The C library's reason for its last failed call (errno).
std::string lastSystemError();
