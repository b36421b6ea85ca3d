// The CLAP extensions this adapter offers and the host extensions it asks
// for, each a table of operations found by its ID string through
// `get_extension`, declared from the interface's names, orders and layouts;
// see clap_abi.h for the conventions. A table answered by either side stays
// valid for the instance's life, so both sides hand out static ones.
#pragma once

#include "formats/clap/clap_abi.h"

namespace clap {

constexpr char kExtParams[] = "clap.params";
constexpr char kExtAudioPorts[] = "clap.audio-ports";
constexpr char kExtLatency[] = "clap.latency";
constexpr char kExtState[] = "clap.state";
constexpr char kExtGui[] = "clap.gui";
constexpr char kExtTimerSupport[] = "clap.timer-support";
constexpr char kExtPosixFdSupport[] = "clap.posix-fd-support";
constexpr char kExtRender[] = "clap.render";
constexpr char kExtTail[] = "clap.tail";

// Parameters. Values are plain (in the parameter's own range), not normalised.
using ParamInfoFlags = uint32_t;
enum ParamInfoFlag : ParamInfoFlags {
    kParamIsStepped = 1 << 0,
    kParamIsPeriodic = 1 << 1,
    kParamIsHidden = 1 << 2,
    kParamIsReadonly = 1 << 3,
    kParamIsBypass = 1 << 4,
    kParamIsAutomatable = 1 << 5,
    kParamRequiresProcess = 1 << 15,
    kParamIsEnum = 1 << 16,
};

struct ParamInfo {
    Id id;
    ParamInfoFlags flags;
    void* cookie;
    char name[kNameSize];
    char module[kPathSize];
    double min_value;
    double max_value;
    double default_value;
};
// The texts leave the doubles 8-aligned on 64-bit and on 32-bit Windows; 32-bit
// System V packs them after the module text at 4.
#if INTPTR_MAX == INT64_MAX || defined(_WIN32)
static_assert(sizeof(ParamInfo) == 1320, "parameter record");
static_assert(offsetof(ParamInfo, min_value) == 1296, "range after the texts");
#else
static_assert(sizeof(ParamInfo) == 1316, "parameter record, 32-bit");
static_assert(offsetof(ParamInfo, min_value) == 1292, "range after the texts");
#endif
static_assert(offsetof(ParamInfo, name) == (kPointers64 ? 16 : 12), "name after the cookie");
static_assert(offsetof(ParamInfo, module) == offsetof(ParamInfo, name) + kNameSize, "module path after the name");

struct PluginParams {
    uint32_t(CLAP_CALL* count)(const Plugin* plugin);
    bool(CLAP_CALL* get_info)(const Plugin* plugin, uint32_t param_index, ParamInfo* param_info);
    bool(CLAP_CALL* get_value)(const Plugin* plugin, Id param_id, double* out_value);
    bool(CLAP_CALL* value_to_text)(const Plugin* plugin, Id param_id, double value, char* out_buffer,
                                   uint32_t out_buffer_capacity);
    bool(CLAP_CALL* text_to_value)(const Plugin* plugin, Id param_id, const char* param_value_text,
                                   double* out_value);
    // Events in and out without audio; never beside process.
    void(CLAP_CALL* flush)(const Plugin* plugin, const InputEvents* in, const OutputEvents* out);
};
static_assert(sizeof(PluginParams) == 6 * sizeof(void*), "parameters table");
static_assert(offsetof(PluginParams, flush) == 5 * sizeof(void*), "flush last");

using ParamRescanFlags = uint32_t;
enum ParamRescanFlag : ParamRescanFlags {
    kParamRescanValues = 1 << 0,
    kParamRescanText = 1 << 1,
    kParamRescanInfo = 1 << 2,
    kParamRescanAll = 1 << 3,
};

using ParamClearFlags = uint32_t;
enum ParamClearFlag : ParamClearFlags {
    kParamClearAll = 1 << 0,
    kParamClearAutomations = 1 << 1,
    kParamClearModulations = 1 << 2,
};

struct HostParams {
    void(CLAP_CALL* rescan)(const Host* host, ParamRescanFlags flags);
    void(CLAP_CALL* clear)(const Host* host, Id param_id, ParamClearFlags flags);
    // Asks for a process or flush call soon, to send the editor's edits out.
    void(CLAP_CALL* request_flush)(const Host* host);
};
static_assert(sizeof(HostParams) == 3 * sizeof(void*), "host parameters table");

// Audio ports. The port type names the channel layout; an in-place pair lets
// the host pass one buffer as both the input and the output.
constexpr char kPortMono[] = "mono";
constexpr char kPortStereo[] = "stereo";

enum AudioPortFlags : uint32_t {
    kAudioPortIsMain = 1 << 0,
};

struct AudioPortInfo {
    Id id;
    char name[kNameSize];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    Id in_place_pair;
};
static_assert(sizeof(AudioPortInfo) == (kPointers64 ? 288 : 276), "port record");
static_assert(offsetof(AudioPortInfo, flags) == 260, "flags after the name");
static_assert(offsetof(AudioPortInfo, port_type) == (kPointers64 ? 272 : 268), "port type after a gap on 64-bit");
static_assert(offsetof(AudioPortInfo, in_place_pair) == (kPointers64 ? 280 : 272), "in-place pair");

struct PluginAudioPorts {
    uint32_t(CLAP_CALL* count)(const Plugin* plugin, bool is_input);
    bool(CLAP_CALL* get)(const Plugin* plugin, uint32_t index, bool is_input, AudioPortInfo* info);
};
static_assert(sizeof(PluginAudioPorts) == 2 * sizeof(void*), "audio ports table");

// Latency, in frames at the activated rate. It may change only inside
// activate; otherwise the plug-in asks for a restart first.
struct PluginLatency {
    uint32_t(CLAP_CALL* get)(const Plugin* plugin);
};
static_assert(sizeof(PluginLatency) == sizeof(void*), "latency table");

struct HostLatency {
    void(CLAP_CALL* changed)(const Host* host);
};
static_assert(sizeof(HostLatency) == sizeof(void*), "host latency table");

// State, through the streams of clap_abi.h.
struct PluginState {
    bool(CLAP_CALL* save)(const Plugin* plugin, const OutputStream* stream);
    bool(CLAP_CALL* load)(const Plugin* plugin, const InputStream* stream);
};
static_assert(sizeof(PluginState) == 2 * sizeof(void*), "state table");

// The editor. Hosts embed it in a window of the named system; sizes are in
// physical pixels for both systems we support.
constexpr char kWindowApiWin32[] = "win32";
constexpr char kWindowApiX11[] = "x11";

// An X window's XID is an unsigned long (only 4 bytes on 64-bit Windows,
// where it is never used); the union is pointer-sized everywhere.
using XWindow = unsigned long;
using Hwnd = void*;

struct Window {
    const char* api;
    union {
        XWindow x11;
        Hwnd win32;
        void* ptr;
    };
};
static_assert(sizeof(Window) == 2 * sizeof(void*), "window record");
static_assert(offsetof(Window, x11) == sizeof(void*), "the handle after the system's name");

struct GuiResizeHints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};
static_assert(sizeof(GuiResizeHints) == 12, "resize hints record");
static_assert(offsetof(GuiResizeHints, aspect_ratio_width) == 4, "ratio after the flags");

struct PluginGui {
    bool(CLAP_CALL* is_api_supported)(const Plugin* plugin, const char* api, bool is_floating);
    bool(CLAP_CALL* get_preferred_api)(const Plugin* plugin, const char** api, bool* is_floating);
    bool(CLAP_CALL* create)(const Plugin* plugin, const char* api, bool is_floating);
    void(CLAP_CALL* destroy)(const Plugin* plugin);
    bool(CLAP_CALL* set_scale)(const Plugin* plugin, double scale);
    bool(CLAP_CALL* get_size)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool(CLAP_CALL* can_resize)(const Plugin* plugin);
    bool(CLAP_CALL* get_resize_hints)(const Plugin* plugin, GuiResizeHints* hints);
    bool(CLAP_CALL* adjust_size)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool(CLAP_CALL* set_size)(const Plugin* plugin, uint32_t width, uint32_t height);
    bool(CLAP_CALL* set_parent)(const Plugin* plugin, const Window* window);
    bool(CLAP_CALL* set_transient)(const Plugin* plugin, const Window* window);
    void(CLAP_CALL* suggest_title)(const Plugin* plugin, const char* title);
    bool(CLAP_CALL* show)(const Plugin* plugin);
    bool(CLAP_CALL* hide)(const Plugin* plugin);
};
static_assert(sizeof(PluginGui) == 15 * sizeof(void*), "editor table");
static_assert(offsetof(PluginGui, set_parent) == 10 * sizeof(void*), "embedding");

// An embedded editor on Linux has no loop of its own: its ticks come from
// the host's timers and its display connection's events from the host's
// descriptor watch, both on the main thread.
struct PluginTimerSupport {
    void(CLAP_CALL* on_timer)(const Plugin* plugin, Id timer_id);
};
static_assert(sizeof(PluginTimerSupport) == sizeof(void*), "timer table");

struct HostTimerSupport {
    bool(CLAP_CALL* register_timer)(const Host* host, uint32_t period_ms, Id* timer_id);
    bool(CLAP_CALL* unregister_timer)(const Host* host, Id timer_id);
};
static_assert(sizeof(HostTimerSupport) == 2 * sizeof(void*), "host timer table");

using PosixFdFlags = uint32_t;
enum PosixFdFlag : PosixFdFlags {
    kPosixFdRead = 1 << 0,
    kPosixFdWrite = 1 << 1,
    kPosixFdError = 1 << 2,
};

struct PluginPosixFdSupport {
    void(CLAP_CALL* on_fd)(const Plugin* plugin, int fd, PosixFdFlags flags);
};
static_assert(sizeof(PluginPosixFdSupport) == sizeof(void*), "descriptor table");

struct HostPosixFdSupport {
    bool(CLAP_CALL* register_fd)(const Host* host, int fd, PosixFdFlags flags);
    bool(CLAP_CALL* modify_fd)(const Host* host, int fd, PosixFdFlags flags);
    bool(CLAP_CALL* unregister_fd)(const Host* host, int fd);
};
static_assert(sizeof(HostPosixFdSupport) == 3 * sizeof(void*), "host descriptor table");

// Render mode: whether the host renders in real time or offline.
using RenderMode = int32_t;
enum RenderModes : RenderMode {
    kRenderRealtime = 0,
    kRenderOffline = 1,
};

struct PluginRender {
    bool(CLAP_CALL* has_hard_realtime_requirement)(const Plugin* plugin);
    bool(CLAP_CALL* set)(const Plugin* plugin, RenderMode mode);
};
static_assert(sizeof(PluginRender) == 2 * sizeof(void*), "render table");

// The frames of output that follow the last input worth hearing; INT32_MAX
// and above mean an endless tail.
struct PluginTail {
    uint32_t(CLAP_CALL* get)(const Plugin* plugin);
};
static_assert(sizeof(PluginTail) == sizeof(void*), "tail table");

}  // namespace clap
