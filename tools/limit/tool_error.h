// The one kind of failure the tool reports: a single line for the user and the
// exit status that goes with it.
#pragma once

#include <stdexcept>
#include <string>

namespace limit_tool {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailure = 1,  // the input, the output or the limiter could not be handled
    kExitUsage = 2,    // the command line asks for something out of range
    kExitInterrupted = 130,
};

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int status = kExitFailure)
        : std::runtime_error(message), exitStatus(status) {}
    int status() const { return exitStatus; }

private:
    int exitStatus;
};

class UsageError : public ToolError {
public:
    explicit UsageError(const std::string& message) : ToolError(message, kExitUsage) {}
};

// Quotes a path for a message so that spaces and empty names stay visible.
inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace limit_tool
