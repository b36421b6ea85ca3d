#include "tools/limit/decoder_messages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace limit_tool {

namespace {

// Enough for the first message of any decoder.
constexpr std::size_t kFirstMessageBytes = 512;

}  // namespace

DecoderMessages::DecoderMessages() {
    const int made = memfd_create("quillo-decoder-messages", MFD_CLOEXEC);
    if (made < 0) return;
    // Above the standard streams even when the error stream was closed and
    // its number would have been handed out again.
    collected = fcntl(made, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(made);
    // Not while another reader collects: the stream would be its collection.
    const std::lock_guard<std::mutex> guard(streamLock());
    if (collected >= 0) terminal = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

DecoderMessages::~DecoderMessages() {
    if (terminal >= 0) close(terminal);
    if (collected >= 0) close(collected);
}

bool DecoderMessages::any() const {
    struct stat status {};
    return collected >= 0 && fstat(collected, &status) == 0 && status.st_size > 0;
}

std::string DecoderMessages::first() const {
    if (collected < 0) return {};
    char bytes[kFirstMessageBytes];
    const ssize_t got = pread(collected, bytes, sizeof bytes, 0);
    if (got <= 0) return {};
    std::string line(bytes, static_cast<std::size_t>(got));
    line = line.substr(0, line.find('\n'));
    // "[src/file.c:function():123] error: text" keeps "error: text".
    if (!line.empty() && line.front() == '[') {
        const std::size_t end = line.find("] ");
        if (end != std::string::npos) line = line.substr(end + 2);
    }
    const std::size_t last = line.find_last_not_of(" \t\r");
    return last == std::string::npos ? std::string() : line.substr(0, last + 1);
}

std::mutex& DecoderMessages::streamLock() {
    static std::mutex lock;
    return lock;
}

DecoderMessages::Collecting::Collecting(DecoderMessages& messages)
    : owner(messages), exclusive(streamLock()) {
    if (owner.collected < 0) return;
    std::fflush(stderr);
    dup2(owner.collected, STDERR_FILENO);
}

DecoderMessages::Collecting::~Collecting() {
    if (owner.collected < 0) return;
    std::fflush(stderr);
    if (owner.terminal >= 0) {
        dup2(owner.terminal, STDERR_FILENO);
    } else {
        close(STDERR_FILENO);
    }
}

}  // namespace limit_tool
