// Output files that appear only when complete: everything is written to a
// temporary file beside the target and renamed into place at the end, so a
// failure or an interruption never leaves a partial file under the target name.
#pragma once

#include <string>

namespace limit_tool {

class PendingFile {
public:
    // Creates the temporary file in the target's directory; throws ToolError
    // naming the directory when it cannot be written. A target that is a link
    // to an existing file is written through: the file it leads to is replaced.
    explicit PendingFile(const std::string& target);
    // Removes the temporary file unless it was committed.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Hands the open descriptor to a writer that closes it (once only).
    int takeDescriptor();
    // Flushes the finished file to disk and renames it to the target.
    void commit();
    const std::string& target() const { return targetPath; }
    const std::string& temporary() const { return temporaryPath; }

private:
    std::string targetPath;
    std::string finalPath;
    std::string temporaryPath;
    int descriptor = -1;
    bool committed = false;
};

// True when both names lead to one existing file (same device and inode), be it
// through links, "..", or different spellings.
bool sameExistingFile(const std::string& first, const std::string& second);
// True when the two names would denote the same file once created: the same
// directory entry, or one existing file.
bool sameTarget(const std::string& first, const std::string& second);
// Throws ToolError unless the path is free or an existing regular file (a
// directory, a device or a pipe must never be replaced by the output).
void checkReplaceable(const std::string& path, const std::string& role);

// Writes a whole text to a pending file and closes it; throws ToolError.
void writeText(PendingFile& file, const std::string& text);

}  // namespace limit_tool
