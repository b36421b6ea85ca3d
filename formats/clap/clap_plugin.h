// The limiter as a CLAP plug-in: one instance of the audio side the formats
// share, behind the plug-in record and the extensions a host asks for. One
// object serves the host's main and audio threads, as the effect does in a
// VST 2 host: the editor shows the audio side's own effect, and its edits go
// to the host as gestures and values from the next process or flush call.
#pragma once

#include <atomic>
#include <cstdint>

#include "formats/clap/clap_extensions.h"
#include "formats/shared/audio_side.h"

namespace clap {

// The descriptor's texts, and the operations every instance's record holds.
extern const PluginDescriptor kDescriptor;
extern const Plugin kInstanceTable;

class Limiter final : private ModelListener {
public:
    explicit Limiter(const Host* host);
    ~Limiter() override;
    Limiter(const Limiter&) = delete;
    Limiter& operator=(const Limiter&) = delete;

    const Plugin* record() const { return &plugin; }
    // Null for a record that is not one of ours.
    static Limiter* of(const Plugin* record);

    // The plug-in record's operations.
    bool init();
    bool activate(double rate, uint32_t maxFrames);
    void deactivate();
    bool startProcessing();
    void stopProcessing() { processing = false; }
    void reset();
    ProcessStatus process(const Process& block);
    const void* extension(const char* id) const;

    // Parameters, as plain values: the step of a stepped parameter, else its
    // normalised value (the VST 2 value for the effect's six).
    bool paramInfo(uint32_t index, ParamInfo& info) const;
    bool paramValue(Id id, double& value) const;
    bool valueText(Id id, double value, char* text, uint32_t capacity) const;
    bool textValue(Id id, const char* text, double& value) const;
    void flush(const InputEvents* in, const OutputEvents* out);

    uint32_t latency() const;
    bool save(const OutputStream& stream) const;
    bool load(const InputStream& stream);

    // The editor, on the main thread.
    bool editorUsable() const;
    bool openEditor(const Window& parent);
    void closeEditor();
    void editorTick();

private:
    // The editor's edits on their way to the host: a gesture's begin and
    // end, or a value, queued on the main thread for the next process or flush.
    struct Edit {
        uint16_t type;
        Id id;
        double value;
    };
    static constexpr uint32_t kEditRoom = 256;

    void parameterEdited(int32_t index, float value) override;
    void editBegun(int32_t index) override;
    void editEnded(int32_t index) override;
    void queueEdit(uint16_t type, int32_t index, double value);
    void sendEdits(const OutputEvents* out);
    void sendReports(const OutputEvents* out);
    void askRestartForLatency();
    static bool buffersOf(const Process& block, formats::BlockBuffers& buffers);
    template <typename HostTable>
    const HostTable* hostExtension(const char* id) const;

    Plugin plugin;
    const Host* host;
    formats::AudioSide audio;
    const HostParams* hostParams = nullptr;
    const HostLatency* hostLatency = nullptr;
    const HostTimerSupport* hostTimers = nullptr;
    const HostPosixFdSupport* hostDescriptors = nullptr;
    bool active = false;
    bool processing = false;
    int32_t announcedLatency = -1;
    Id timer = kInvalidId;
    int watched = -1;
    Edit edits[kEditRoom]{};
    std::atomic<uint32_t> editsWritten{0};
    std::atomic<uint32_t> editsRead{0};
};

}  // namespace clap
