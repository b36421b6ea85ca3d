// The CLAP 1.2 binary interface as this adapter and its test host use it,
// declared here from the interface's names, orders and layouts: the module's
// entry record, the plug-in factory, the plug-in and host records, the process
// record with its audio buffers and event lists, and the byte streams. CLAP is
// a C interface: every record is a plain struct, every operation a function
// pointer whose first argument is the record it came from, and nothing is
// packed, so each layout is the platform's natural one. The extensions are in
// clap_extensions.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Windows hosts call through the C calling convention, spelled out so that a
// build with another default (-mrtd) still meets them; on 64-bit it changes
// nothing, and elsewhere the default is the C one.
#if defined(_WIN32)
#define CLAP_CALL __cdecl
#else
#define CLAP_CALL
#endif

namespace clap {

// Hosts written in C read our `bool` results as C's, which is one byte here.
static_assert(sizeof(bool) == 1, "a C boolean is one byte");

constexpr bool kPointers64 = sizeof(void*) == 8;

// A parameter's, a port's or a timer's identifier; the all-ones value names none.
using Id = uint32_t;
constexpr Id kInvalidId = UINT32_MAX;

// Capacities of the text fields hosts hand us to fill, terminator included.
constexpr size_t kNameSize = 256;
constexpr size_t kPathSize = 1024;

struct Version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
static_assert(sizeof(Version) == 12, "version record");

// The interface version we are written against, announced in our records.
constexpr uint32_t kVersionMajor = 1;
constexpr uint32_t kVersionMinor = 2;
constexpr uint32_t kVersionRevision = 1;
constexpr Version kVersion{kVersionMajor, kVersionMinor, kVersionRevision};

// Every 1.x record keeps the layout of 1.0; the 0.x versions were drafts with
// other layouts, so a host announcing one is not spoken to.
constexpr bool versionIsCompatible(const Version& version) { return version.major >= 1; }

// Strings the host matches exactly: the exported entry's name and the factory's.
constexpr char kEntrySymbol[] = "clap_entry";
constexpr char kPluginFactoryId[] = "clap.plugin-factory";

// The descriptor's feature words this plug-in lists.
constexpr char kFeatureAudioEffect[] = "audio-effect";
constexpr char kFeatureLimiter[] = "limiter";
constexpr char kFeatureStereo[] = "stereo";
constexpr char kFeatureMono[] = "mono";

struct Plugin;
struct Host;
struct Process;

// The exported record: the host checks the version, calls init with the
// module's path before anything else, and deinit last.
struct PluginEntry {
    Version clap_version;
    bool(CLAP_CALL* init)(const char* plugin_path);
    void(CLAP_CALL* deinit)();
    const void*(CLAP_CALL* get_factory)(const char* factory_id);
};
static_assert(sizeof(PluginEntry) == (kPointers64 ? 40 : 24), "entry record");
static_assert(offsetof(PluginEntry, init) == (kPointers64 ? 16 : 12), "init after the version and a gap on 64-bit");
static_assert(offsetof(PluginEntry, get_factory) == (kPointers64 ? 32 : 20), "factory query");

// Every text is UTF-8 and terminated; `features` is a list ending in null.
struct PluginDescriptor {
    Version clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;
};
static_assert(sizeof(PluginDescriptor) == (kPointers64 ? 88 : 48), "descriptor record");
static_assert(offsetof(PluginDescriptor, id) == (kPointers64 ? 16 : 12), "id after the version");
static_assert(offsetof(PluginDescriptor, version) == (kPointers64 ? 64 : 36), "version text");
static_assert(offsetof(PluginDescriptor, features) == (kPointers64 ? 80 : 44), "features");

struct PluginFactory {
    uint32_t(CLAP_CALL* get_plugin_count)(const PluginFactory* factory);
    const PluginDescriptor*(CLAP_CALL* get_plugin_descriptor)(const PluginFactory* factory, uint32_t index);
    const Plugin*(CLAP_CALL* create_plugin)(const PluginFactory* factory, const Host* host, const char* plugin_id);
};
static_assert(sizeof(PluginFactory) == 3 * sizeof(void*), "factory table");

using ProcessStatus = int32_t;
enum ProcessStatuses : ProcessStatus {
    kProcessError = 0,
    kProcessContinue = 1,
    kProcessContinueIfNotQuiet = 2,
    kProcessTail = 3,
    kProcessSleep = 4,
};

// One instance. The plug-in owns the record and its `plugin_data`; the host
// only calls through it.
struct Plugin {
    const PluginDescriptor* desc;
    void* plugin_data;
    bool(CLAP_CALL* init)(const Plugin* plugin);
    void(CLAP_CALL* destroy)(const Plugin* plugin);
    bool(CLAP_CALL* activate)(const Plugin* plugin, double sample_rate, uint32_t min_frames_count,
                              uint32_t max_frames_count);
    void(CLAP_CALL* deactivate)(const Plugin* plugin);
    bool(CLAP_CALL* start_processing)(const Plugin* plugin);
    void(CLAP_CALL* stop_processing)(const Plugin* plugin);
    void(CLAP_CALL* reset)(const Plugin* plugin);
    ProcessStatus(CLAP_CALL* process)(const Plugin* plugin, const Process* process);
    const void*(CLAP_CALL* get_extension)(const Plugin* plugin, const char* id);
    void(CLAP_CALL* on_main_thread)(const Plugin* plugin);
};
static_assert(sizeof(Plugin) == 12 * sizeof(void*), "plug-in record");
static_assert(offsetof(Plugin, init) == 2 * sizeof(void*), "init after the two data pointers");
static_assert(offsetof(Plugin, process) == 9 * sizeof(void*), "process");
static_assert(offsetof(Plugin, on_main_thread) == 11 * sizeof(void*), "main-thread callback last");

// The host as the plug-in sees it; `host_data` is the host's own.
struct Host {
    Version clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(CLAP_CALL* get_extension)(const Host* host, const char* extension_id);
    void(CLAP_CALL* request_restart)(const Host* host);
    void(CLAP_CALL* request_process)(const Host* host);
    void(CLAP_CALL* request_callback)(const Host* host);
};
static_assert(sizeof(Host) == (kPointers64 ? 88 : 48), "host record");
static_assert(offsetof(Host, host_data) == (kPointers64 ? 16 : 12), "host data after the version");
static_assert(offsetof(Host, get_extension) == (kPointers64 ? 56 : 32), "extension query");
static_assert(offsetof(Host, request_callback) == (kPointers64 ? 80 : 44), "callback request last");

// One port's channels: the host sets `data32` or `data64`, never both, and
// may mark channels as holding one value throughout (bit n for channel n).
struct AudioBuffer {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
};
static_assert(sizeof(AudioBuffer) == (kPointers64 ? 32 : 24), "audio buffer record");
static_assert(offsetof(AudioBuffer, channel_count) == 2 * sizeof(void*), "channel count");
static_assert(offsetof(AudioBuffer, constant_mask) == (kPointers64 ? 24 : 16), "constant mask");

// Every event starts with this header; `size` covers the whole event, so a
// reader skips the kinds it does not know by it.
struct EventHeader {
    uint32_t size;
    uint32_t time;
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
};
static_assert(sizeof(EventHeader) == 16, "event header");
static_assert(offsetof(EventHeader, type) == 10, "event type");

// Event types are numbered within a space; only the core space's are ours.
constexpr uint16_t kCoreEventSpace = 0;

enum EventTypes : uint16_t {
    kEventParamValue = 5,
    kEventParamGestureBegin = 7,
    kEventParamGestureEnd = 8,
};

enum EventFlags : uint32_t {
    kEventIsLive = 1 << 0,
    kEventDontRecord = 1 << 1,
};

// A parameter's new plain value at sample `header.time`. The note address
// (-1 for any) and the cookie are the host's; a global parameter ignores them.
struct EventParamValue {
    EventHeader header;
    Id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};
// 32-bit System V aligns a double inside a record to 4 bytes, 32-bit Windows to 8.
#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(EventParamValue) == 56, "parameter value event, 64-bit");
static_assert(offsetof(EventParamValue, cookie) == 24, "cookie after a gap");
static_assert(offsetof(EventParamValue, value) == 48, "value after a gap");
#elif defined(_WIN32)
static_assert(sizeof(EventParamValue) == 48, "parameter value event, 32-bit Windows");
static_assert(offsetof(EventParamValue, value) == 40, "value after a gap");
#else
static_assert(sizeof(EventParamValue) == 44, "parameter value event, 32-bit");
static_assert(offsetof(EventParamValue, value) == 36, "value");
#endif
static_assert(offsetof(EventParamValue, param_id) == 16, "parameter after the header");
static_assert(offsetof(EventParamValue, note_id) == (kPointers64 ? 32 : 24), "note address");

// The begin and end of a user's edit of one parameter.
struct EventParamGesture {
    EventHeader header;
    Id param_id;
};
static_assert(sizeof(EventParamGesture) == 20, "gesture event");

// What the host hands to one block, sorted by time; the events stay the host's.
struct InputEvents {
    void* ctx;
    uint32_t(CLAP_CALL* size)(const InputEvents* list);
    const EventHeader*(CLAP_CALL* get)(const InputEvents* list, uint32_t index);
};
static_assert(sizeof(InputEvents) == 3 * sizeof(void*), "input event list");

// The host copies what is pushed; false where it has no room.
struct OutputEvents {
    void* ctx;
    bool(CLAP_CALL* try_push)(const OutputEvents* list, const EventHeader* event);
};
static_assert(sizeof(OutputEvents) == 2 * sizeof(void*), "output event list");

// The transport is passed through but never read.
struct EventTransport;

struct Process {
    int64_t steady_time;
    uint32_t frames_count;
    const EventTransport* transport;
    const AudioBuffer* audio_inputs;
    AudioBuffer* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const InputEvents* in_events;
    const OutputEvents* out_events;
};
static_assert(sizeof(Process) == (kPointers64 ? 64 : 40), "process record");
static_assert(offsetof(Process, transport) == (kPointers64 ? 16 : 12), "transport after a gap on 64-bit");
static_assert(offsetof(Process, audio_inputs_count) == (kPointers64 ? 40 : 24), "port counts");
static_assert(offsetof(Process, in_events) == (kPointers64 ? 48 : 32), "input events");
static_assert(offsetof(Process, out_events) == (kPointers64 ? 56 : 36), "output events");

// Byte streams for the state. A call may move fewer bytes than asked; the
// result is the count moved, 0 at the end of the input and -1 on an error.
struct InputStream {
    void* ctx;
    int64_t(CLAP_CALL* read)(const InputStream* stream, void* buffer, uint64_t size);
};
static_assert(sizeof(InputStream) == 2 * sizeof(void*), "input stream");

struct OutputStream {
    void* ctx;
    int64_t(CLAP_CALL* write)(const OutputStream* stream, const void* buffer, uint64_t size);
};
static_assert(sizeof(OutputStream) == 2 * sizeof(void*), "output stream");

// C code on the other side copies and zero-fills these records as bytes.
static_assert(std::is_standard_layout_v<Plugin> && std::is_trivial_v<Plugin>, "plug-in record is plain data");
static_assert(std::is_standard_layout_v<Process> && std::is_trivial_v<Process>, "process record is plain data");
static_assert(std::is_standard_layout_v<EventParamValue> && std::is_trivial_v<EventParamValue>,
              "events are plain data");

}  // namespace clap
