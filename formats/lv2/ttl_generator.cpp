// Writes the bundle's Turtle files at build time from the effect itself, so
// that they say only what is true of the binary: names, pin labels, the
// programs are asked of an effect, ranges, start values and the Force Channels
// texts come from the parameters' descriptors, and every port value goes
// through the conversions the audio binary uses.
//   quillo-lv2-ttl BUNDLE_DIR DSP_BINARY UI_BINARY MINOR_VERSION MICRO_VERSION
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "plugin/limiter_model.h"

namespace formats::lv2 {

namespace {

constexpr char kPluginFile[] = "vrn-quillo-limiter.ttl";
constexpr char kPresetsFile[] = "presets.ttl";
constexpr char kLicence[] = "https://spdx.org/licenses/MIT";
constexpr int32_t kArguments = 6;
constexpr int kShortestDigits = 1;
constexpr int kFloatDigits = 9;
constexpr int32_t kGainSteps = kHighestGainStep - kLowestGainStep + 1;
constexpr const char* kMeterNames[kMeterPorts] = {"Left Gain", "Right Gain", "Knee Gain"};
constexpr char kEnabledName[] = "Enabled";

constexpr char kPrefixes[] = R"(@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .
@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .

)";

std::string uri(const std::string& text) { return "<" + text + ">"; }

std::string literal(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (static_cast<unsigned char>(c) >= ' ') quoted += c;
    }
    return quoted + "\"";
}

// The shortest decimal that reads back as exactly this float (nine
// significant digits always do).
std::string number(float value) {
    char text[32];
    for (int digits = kShortestDigits; digits <= kFloatDigits; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos) result += ".0";
    return result;
}

std::string presetUri(int32_t program) { return kPresetUriPrefix + std::to_string(program + 1); }

// The effect's unit labels, as LV2 names them.
std::string unitOf(const std::string& label) {
    if (label == "db" || label == "dB") return "units:db";
    if (label == "%") return "units:pc";
    return std::string();
}

void audioPort(std::ostream& out, const LimiterModel& model, uint32_t port) {
    const bool input = port < kOutputLeft;
    const int32_t channel = static_cast<int32_t>(port % kEffectChannels);
    const std::string label = model.pinLabel(input, channel);
    out << "[\n        a lv2:AudioPort, " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "        lv2:index " << port << " ;\n        lv2:symbol " << literal(kAudioSymbols[port]) << " ;\n"
        << "        lv2:name " << literal(label) << " ;\n"
        << "        pg:group " << uri(input ? kInputGroupUri : kOutputGroupUri) << " ;\n"
        << "        lv2:designation " << (channel == 0 ? "pg:left" : "pg:right") << "\n    ]";
}

void parameterPort(std::ostream& out, int32_t position) {
    const ParameterDescriptor& p = parameterAt(position);
    const PortRange range = portRange(position);
    out << "[\n        a lv2:InputPort, lv2:ControlPort ;\n"
        << "        lv2:index " << portOfParameter(position) << " ;\n"
        << "        lv2:symbol " << literal(portSymbol(position)) << " ;\n"
        << "        lv2:name " << literal(p.bypass ? kEnabledName : p.name) << " ;\n"
        << "        lv2:default " << number(range.start) << " ;\n"
        << "        lv2:minimum " << number(range.minimum) << " ;\n"
        << "        lv2:maximum " << number(range.maximum);
    const std::string unit = unitOf(p.unit);
    if (!unit.empty()) out << " ;\n        units:unit " << unit;
    if (p.bypass) out << " ;\n        lv2:designation lv2:enabled";
    switch (p.kind) {
        case ParameterKind::Decibels:
            out << " ;\n        pprops:rangeSteps " << (p.steps > 0 ? p.steps + 1 : kGainSteps);
            break;
        case ParameterKind::Percent: break;
        case ParameterKind::Switch: out << " ;\n        lv2:portProperty lv2:toggled"; break;
        case ParameterKind::Choice:
            out << " ;\n        lv2:portProperty lv2:integer, lv2:enumeration";
            for (int32_t choice = 0; choice <= p.steps; ++choice) {
                out << " ;\n        lv2:scalePoint [ rdfs:label " << literal(p.choices[choice]) << " ; rdf:value "
                    << number(static_cast<float>(choice)) << " ]";
            }
            break;
    }
    out << "\n    ]";
}

void outputPorts(std::ostream& out) {
    out << "[\n        a lv2:OutputPort, lv2:ControlPort ;\n        lv2:index " << kLatencyPort << " ;\n"
        << "        lv2:symbol " << literal(kLatencySymbol) << " ;\n        lv2:name \"Latency\" ;\n"
        << "        lv2:designation lv2:latency ;\n"
        << "        lv2:portProperty lv2:reportsLatency, lv2:integer, pprops:notOnGUI ;\n"
        << "        units:unit units:frame ;\n        lv2:minimum 0\n    ]";
    for (uint32_t meter = 0; meter < kMeterPorts; ++meter) {
        out << " , [\n        a lv2:OutputPort, lv2:ControlPort ;\n"
            << "        lv2:index " << kMeterLeftPort + meter << " ;\n"
            << "        lv2:symbol " << literal(kMeterSymbols[meter]) << " ;\n"
            << "        lv2:name " << literal(kMeterNames[meter]) << " ;\n"
            << "        lv2:default 1.0 ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n"
            << "        units:unit units:coef\n    ]";
    }
}

std::string pluginDescription(const LimiterModel& model, const std::string& minor, const std::string& micro) {
    std::ostringstream out;
    out << kPrefixes << uri(kInputGroupUri) << "\n    a pg:StereoGroup, pg:InputGroup ;\n"
        << "    lv2:symbol \"in\" ;\n    lv2:name \"Input\" .\n\n"
        << uri(kOutputGroupUri) << "\n    a pg:StereoGroup, pg:OutputGroup ;\n"
        << "    lv2:symbol \"out\" ;\n    lv2:name \"Output\" ;\n    pg:source " << uri(kInputGroupUri) << " .\n\n"
        << uri(kPluginUri) << "\n    a lv2:Plugin, doap:Project, lv2:LimiterPlugin ;\n"
        << "    doap:name " << literal(LimiterModel::effectName()) << " ;\n"
        << "    doap:license " << uri(kLicence) << " ;\n"
        << "    doap:maintainer [ foaf:name " << literal(LimiterModel::vendorName()) << " ] ;\n"
        << "    lv2:minorVersion " << minor << " ;\n    lv2:microVersion " << micro << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    pg:mainInput " << uri(kInputGroupUri) << " ;\n    pg:mainOutput " << uri(kOutputGroupUri) << " ;\n"
        << "    ui:ui " << uri(kUiUri) << " ;\n    lv2:port ";
    for (uint32_t port = 0; port < kAudioPorts; ++port) {
        audioPort(out, model, port);
        out << " , ";
    }
    for (int32_t position = 0; position < kDescribedParameters; ++position) {
        parameterPort(out, position);
        out << " , ";
    }
    outputPorts(out);
    out << " .\n\n" << uri(kUiUri) << "\n    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:idleInterface, ui:parent ;\n"
        << "    lv2:optionalFeature ui:resize, ui:touch, ui:fixedSize, ui:noUserResize ;\n"
        << "    lv2:extensionData ui:idleInterface";
    for (uint32_t meter = 0; meter < kMeterPorts; ++meter) {
        out << " ;\n    ui:portNotification [ ui:plugin " << uri(kPluginUri) << " ; lv2:symbol "
            << literal(kMeterSymbols[meter]) << " ; ui:protocol ui:floatProtocol ]";
    }
    out << " .\n";
    return out.str();
}

// The programs as the effect holds them after it was created.
std::string presets(const LimiterModel& model) {
    std::ostringstream out;
    out << kPrefixes;
    for (int32_t program = 0; program < kProgramCount; ++program) {
        out << uri(presetUri(program)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginUri) << " ;\n"
            << "    rdfs:label " << literal(trimmed(model.programName(program))) << " ;\n    lv2:port ";
        for (int32_t parameter = 0; parameter < kParameterCount; ++parameter) {
            out << (parameter == 0 ? "" : " , ") << "[\n        lv2:symbol " << literal(portSymbol(parameter))
                << " ;\n        pset:value " << number(portValue(parameter, model.programValue(program, parameter)))
                << "\n    ]";
        }
        out << " .\n\n";
    }
    return out.str();
}

std::string manifest(const std::string& dspBinary, const std::string& uiBinary) {
    std::ostringstream out;
    out << kPrefixes << uri(kPluginUri) << "\n    a lv2:Plugin ;\n    lv2:binary " << uri(dspBinary) << " ;\n"
        << "    rdfs:seeAlso " << uri(kPluginFile) << " .\n\n"
        << uri(kUiUri) << "\n    a ui:X11UI ;\n    ui:binary " << uri(uiBinary) << " ;\n"
        << "    rdfs:seeAlso " << uri(kPluginFile) << " .\n";
    for (int32_t program = 0; program < kProgramCount; ++program) {
        out << "\n" << uri(presetUri(program)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginUri)
            << " ;\n    rdfs:seeAlso " << uri(kPresetsFile) << " .\n";
    }
    return out.str();
}

bool save(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::cerr << "quillo-lv2-ttl: cannot write " << path << "\n";
    return static_cast<bool>(file);
}

}  // namespace

}  // namespace formats::lv2

int main(int argc, char** argv) {
    using namespace formats;
    using namespace formats::lv2;
    if (argc != kArguments) {
        std::cerr << "usage: quillo-lv2-ttl BUNDLE_DIR DSP_BINARY UI_BINARY MINOR_VERSION MICRO_VERSION\n";
        return 2;
    }
    const LimiterModel model;
    if (!model.valid()) {
        std::cerr << "quillo-lv2-ttl: the effect did not start\n";
        return 1;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const bool written = save(folder + "manifest.ttl", manifest(argv[2], argv[3])) &&
                         save(folder + kPluginFile, pluginDescription(model, argv[4], argv[5])) &&
                         save(folder + kPresetsFile, presets(model));
    return written ? 0 : 1;
}
