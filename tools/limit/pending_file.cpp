#include "tools/limit/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/limit/tool_error.h"

namespace limit_tool {

namespace {

constexpr char kTemporaryPattern[] = ".XXXXXX.part";
constexpr int kPatternSuffixLength = 5;  // ".part" after the random letters
constexpr std::size_t kMaxNameStem = 64;
constexpr mode_t kNewFileMode = 0666;

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permissions a plain new file would get, honouring the user's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return kNewFileMode & ~mask;
}

std::string systemError() { return std::strerror(errno); }

// The canonical directory plus the entry name, for files that may not exist yet.
std::string canonicalEntry(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(directoryOf(path).c_str(), resolved) == nullptr) return path;
    return std::string(resolved) + "/" + nameOf(path);
}

// The file a name leads to once links are followed, or the name itself when
// it does not lead to an existing file.
std::string throughLinks(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

PendingFile::PendingFile(const std::string& target)
    : targetPath(target), finalPath(throughLinks(target)) {
    const std::string directory = directoryOf(finalPath);
    std::string pattern = directory + "/." + nameOf(finalPath).substr(0, kMaxNameStem) +
                          kTemporaryPattern;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor = mkstemps(name.data(), kPatternSuffixLength);
    if (descriptor < 0) {
        throw ToolError("cannot write to the directory " + quoted(directory) + " of " +
                        quoted(target) + ": " + systemError());
    }
    temporaryPath = name.data();
    fchmod(descriptor, newFileMode());
}

PendingFile::~PendingFile() {
    if (descriptor >= 0) close(descriptor);
    if (!committed) unlink(temporaryPath.c_str());
}

int PendingFile::takeDescriptor() {
    const int taken = descriptor;
    descriptor = -1;
    return taken;
}

void PendingFile::commit() {
    const int syncDescriptor = open(temporaryPath.c_str(), O_RDONLY);
    const bool synced = syncDescriptor >= 0 && fsync(syncDescriptor) == 0;
    if (syncDescriptor >= 0) close(syncDescriptor);
    if (!synced) throw ToolError("cannot finish " + quoted(targetPath) + ": " + systemError());
    if (rename(temporaryPath.c_str(), finalPath.c_str()) != 0) {
        throw ToolError("cannot create " + quoted(targetPath) + ": " + systemError());
    }
    committed = true;
}

bool sameExistingFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    if (stat(first.c_str(), &a) != 0 || stat(second.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameTarget(const std::string& first, const std::string& second) {
    return sameExistingFile(first, second) || canonicalEntry(first) == canonicalEntry(second);
}

void checkReplaceable(const std::string& path, const std::string& role) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) throw ToolError(role + " " + quoted(path) + " is a directory");
    if (!S_ISREG(info.st_mode)) {
        throw ToolError(role + " " + quoted(path) + " exists and is not a regular file");
    }
}

void writeText(PendingFile& file, const std::string& text) {
    const int descriptor = file.takeDescriptor();
    std::FILE* stream = fdopen(descriptor, "w");
    if (stream == nullptr) {
        close(descriptor);
        throw ToolError("cannot write " + quoted(file.target()) + ": " + systemError());
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool closed = std::fclose(stream) == 0;
    if (!written || !closed) {
        throw ToolError("cannot write " + quoted(file.target()) + ": " + systemError());
    }
}

}  // namespace limit_tool
