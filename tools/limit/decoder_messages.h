// What the decoding libraries print while a file is opened and read. The MPEG
// decoder hides frames it cannot decode as silence and says so only on the
// standard error stream, with no error the audio library passes on; so the
// reader collects those messages for the length of each library call, keeps
// them off the user's terminal, and takes any message as a sign that the file
// cannot be decoded.
#pragma once

#include <mutex>
#include <string>

namespace limit_tool {

class DecoderMessages {
public:
    // Without a place to collect into, nothing is collected and any() stays false.
    DecoderMessages();
    ~DecoderMessages();
    DecoderMessages(const DecoderMessages&) = delete;
    DecoderMessages& operator=(const DecoderMessages&) = delete;

    bool any() const;
    // The first message, without the decoder's source location; empty when none.
    std::string first() const;

    // The standard error stream is the process's: while one thread collects,
    // every other thread that writes to it or collects waits on this lock.
    static std::mutex& streamLock();

    // For the lifetime of a Collecting, whatever the process writes to the
    // standard error stream goes to the collection instead.
    class Collecting {
    public:
        explicit Collecting(DecoderMessages& messages);
        ~Collecting();
        Collecting(const Collecting&) = delete;
        Collecting& operator=(const Collecting&) = delete;

    private:
        DecoderMessages& owner;
        std::lock_guard<std::mutex> exclusive;
    };

private:
    int collected = -1;
    int terminal = -1;  // the standard error stream as it was, -1 when it was closed
};

}  // namespace limit_tool
