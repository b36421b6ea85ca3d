// What every object the adapter hands to a VST 3 host needs: answering for
// the interfaces it has, counting references, texts in the interface's UTF-16
// fields, and whole states through the host's byte streams.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "formats/shared/state_codec.h"
#include "formats/vst3/vst3_layout.h"

namespace vst3 {

// Hands out the interface `iid` names if it is one of Interfaces (the first
// also stands for FUnknown), counting the reference the host now holds.
template <typename... Interfaces, typename Object>
tresult answerQuery(Object* self, const char* iid, void** object) {
    if (object == nullptr) return kInvalidArgument;
    *object = nullptr;
    if (iid == nullptr) return kInvalidArgument;
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
    if (FUnknown::iid.matches(iid)) {
        *object = static_cast<FUnknown*>(static_cast<First*>(self));
    } else {
        (void)((Interfaces::iid.matches(iid) ? (*object = static_cast<Interfaces*>(self), true) : false) || ...);
    }
    if (*object == nullptr) return kNoInterface;
    self->addRef();
    return kResultOk;
}

// An object's references: it starts with the one its creator holds.
class References {
public:
    uint32_t add() { return count.fetch_add(1) + 1; }
    // The count left; `self`, the object these are the references of, is
    // deleted at 0.
    template <typename Object>
    uint32_t release(Object* self) {
        const uint32_t left = count.fetch_sub(1) - 1;
        if (left == 0) delete self;
        return left;
    }

private:
    std::atomic<uint32_t> count{1};
};

// Releases a host object when it goes out of scope.
template <typename Interface>
class HostPointer {
public:
    HostPointer() = default;
    ~HostPointer() { reset(); }
    HostPointer(const HostPointer&) = delete;
    HostPointer& operator=(const HostPointer&) = delete;

    // Takes a reference of its own to `object` (which may be null).
    void hold(Interface* object) {
        if (object != nullptr) object->addRef();
        reset();
        held = object;
    }
    // Asks `from` for this interface; the answer's reference is taken over.
    bool query(FUnknown* from) {
        reset();
        void* found = nullptr;
        if (from != nullptr && from->queryInterface(reinterpret_cast<const char*>(Interface::iid.bytes), &found) ==
                                   kResultOk) {
            held = static_cast<Interface*>(found);
        }
        return held != nullptr;
    }
    void reset() {
        if (held != nullptr) held->release();
        held = nullptr;
    }
    Interface* get() const { return held; }
    Interface* operator->() const { return held; }
    explicit operator bool() const { return held != nullptr; }

private:
    Interface* held = nullptr;
};

// The other half of the plug-in, as the host connects it.
class ConnectionPeer : public HostPointer<IConnectionPoint> {
public:
    tresult connect(IConnectionPoint* other) {
        if (other == nullptr) return kInvalidArgument;
        hold(other);
        return kResultOk;
    }
    tresult disconnect(IConnectionPoint* other) {
        if (other == nullptr || other != get()) return kInvalidArgument;
        reset();
        return kResultOk;
    }
};

// An 8-bit text into a UTF-16 field of `capacity` characters, always
// terminated; the effect's texts are plain ASCII.
void copyText(char16* field, size_t capacity, const std::string& text);
// An 8-bit text into an 8-bit field, always terminated.
void copyText(char* field, size_t capacity, const std::string& text);
// A host's UTF-16 text of at most `capacity` characters as ASCII; nothing for
// an unterminated text or one with characters outside ASCII.
std::optional<std::string> asciiText(const char16* text, size_t capacity);

// The whole remaining content of a host's stream, refused beyond `limit` bytes.
std::optional<std::vector<uint8_t>> readStream(IBStream* stream, size_t limit);
bool writeStream(IBStream* stream, const std::vector<uint8_t>& bytes);
// A state from a host's stream: ours, or a VST 2 bank or program a host hands
// over when it moves a project to this plug-in; nothing for anything else.
inline std::optional<formats::RestoredState> readState(IBStream* stream) {
    const auto bytes = readStream(stream, kLargestState);
    if (!bytes) return std::nullopt;
    return formats::decodeState(bytes->data(), bytes->size());
}

}  // namespace vst3
