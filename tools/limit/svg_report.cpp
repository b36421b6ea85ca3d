#include "tools/limit/svg_report.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>

#include "tools/limit/measurements.h"

namespace limit_tool {

namespace {

constexpr double kWidth = 1200.0;
constexpr double kLeft = 80.0;
constexpr double kRight = 30.0;
constexpr double kHeader = 100.0;
constexpr double kLevelHeight = 240.0;
constexpr double kGainHeight = 120.0;
constexpr double kPanelGap = 30.0;
constexpr double kChannelGap = 70.0;
constexpr double kFooter = 20.0;
constexpr double kTitleBaseline = 28.0;
constexpr double kSettingsBaseline = 50.0;
constexpr double kLabelOffset = 8.0;
constexpr double kAxisTitleOffset = 55.0;
constexpr double kTimeTitleOffset = 36.0;
constexpr double kTickLabelDrop = 16.0;
constexpr double kLegendStep = 170.0;
constexpr double kLegendSwatch = 18.0;
constexpr double kLegendGap = 6.0;
constexpr double kRightAngle = -90.0;
constexpr double kHalf = 0.5;
// A last tick this close to the end (in steps) still gets drawn at the end.
constexpr double kTickTolerance = 0.25;
constexpr double kLegendSwatchHeight = 6.0;
constexpr double kLegendDrop = 20.0;
constexpr double kGainRounding = 3.0;
constexpr int kFontSize = 12;
constexpr int kTitleFontSize = 18;
constexpr char kDash[] = "6 4";
constexpr char kInputOpacity[] = "0.8";
constexpr char kOutputOpacity[] = "0.85";

constexpr double kLevelFloorDb = -48.0;
constexpr double kLowestLevelTopDb = 6.0;
constexpr double kHighestLevelTopDb = 48.0;
constexpr double kShallowestGainFloorDb = -6.0;
constexpr double kDeepestGainFloorDb = -60.0;
constexpr int kMaxTicks = 8;
constexpr int kMaxGainTicks = 4;
constexpr double kDecibelSteps[] = {1.0, 2.0, 3.0, 6.0, 12.0, 24.0};
constexpr double kSecondSteps[] = {0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0,
                                   15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1200.0, 3600.0};
constexpr int kMaxTimeTicks = 12;
constexpr int kCoordinateDecimals = 1;
constexpr int kMaxLabelDecimals = 2;

constexpr char kInputColour[] = "#f2b880";
constexpr char kOutputColour[] = "#2f6fb0";
constexpr char kGainColour[] = "#c0392b";
constexpr char kCeilingColour[] = "#d00000";
constexpr char kGridColour[] = "#e4e4e4";
constexpr char kTargetColour[] = "#1e8449";
constexpr char kMarkColour[] = "#000000";
constexpr double kMarkRadius = 4.0;
constexpr double kLoudnessHeight = 200.0;
// The loudness panel spans this much below the louder of course and target.
constexpr double kLoudnessSpanDb = 42.0;
constexpr double kLoudnessHeadroomDb = 3.0;

constexpr char kReplacement[] = "\xEF\xBF\xBD";
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationMark = 0x80;
// The first continuation byte has its own range per lead; the rest start here.
constexpr std::size_t kLaterContinuations = 2;
// Lead bytes with their sequence length and the range their first continuation
// byte must lie in (narrower where overlong forms and surrogates are excluded).
struct Utf8Lead {
    unsigned char low, high;
    std::size_t length;
    unsigned char nextLow, nextHigh;
};
constexpr Utf8Lead kUtf8Leads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// Length of the well-formed UTF-8 sequence at `at`, 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < kContinuationMark) return 1;
    for (const Utf8Lead& form : kUtf8Leads) {
        if (lead < form.low || lead > form.high) continue;
        if (at + form.length > text.size()) return 0;
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next < form.nextLow || next > form.nextHigh) return 0;
        for (std::size_t i = kLaterContinuations; i < form.length; ++i) {
            if ((static_cast<unsigned char>(text[at + i]) & kContinuationMask) != kContinuationMark) {
                return 0;
            }
        }
        return form.length;
    }
    return 0;
}

// A vertical scale in decibels mapped onto one panel.
struct Scale {
    double top;     // y of the panel's upper edge
    double height;  // panel height
    double highDb;  // value at the top edge
    double lowDb;   // value at the bottom edge
    double y(double db) const {
        const double clamped = std::min(std::max(db, lowDb), highDb);
        return top + (highDb - clamped) / (highDb - lowDb) * height;
    }
};

double niceStep(const double* steps, std::size_t count, double span, int maxTicks) {
    for (std::size_t i = 0; i < count; ++i) {
        if (span / steps[i] <= maxTicks) return steps[i];
    }
    return steps[count - 1] * std::ceil(span / (steps[count - 1] * maxTicks));
}

std::string number(double value, int decimals = kCoordinateDecimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

std::string label(double value) {
    std::string text = number(value, kMaxLabelDecimals);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

class SvgWriter {
public:
    explicit SvgWriter(const ReportData& report) : data(report) {}
    std::string render();

private:
    double plotWidth() const { return kWidth - kLeft - kRight; }
    double columnX(std::size_t column, std::size_t columns) const {
        return kLeft + (column + kHalf) * plotWidth() / columns;
    }
    double timeX(double seconds) const {
        return data.seconds > 0.0 ? kLeft + seconds / data.seconds * plotWidth() : kLeft;
    }
    void levelPanel(const ChannelTrace& trace, double top, double highDb, bool marked);
    void loudnessPanel(double top);
    void course(const std::string& id, const std::vector<double>& values, const Scale& scale,
                const char* colour);
    void horizontal(const std::string& id, double y, const char* colour, const std::string& text);
    void gainPanel(const ChannelTrace& trace, double top, double lowDb);
    void frame(const Scale& scale, const std::string& caption, const std::string& axisTitle);
    void grid(const Scale& scale, double step);
    void timeAxis(const Scale& scale);
    void timeGrid(const Scale& scale);
    double timeStep() const {
        return niceStep(kSecondSteps, std::size(kSecondSteps), data.seconds, kMaxTimeTicks);
    }
    void envelope(const std::string& id, const std::vector<float>& peaks, const Scale& scale,
                  const char* colour, const char* opacity);
    void legend(double y, const std::vector<std::pair<std::string, const char*>>& entries);

    std::string ceilingText() const {
        return label(data.ceilingDb) + (data.truePeakCeiling ? " dBTP" : " dBFS") + " ceiling";
    }

    const ReportData& data;
    std::ostringstream out;
};

double highestInputDb(const ReportData& data) {
    double peak = 0.0;
    for (const ChannelTrace& trace : data.channels) {
        for (const float level : trace.inputPeak) peak = std::max(peak, static_cast<double>(level));
    }
    return toDecibels(peak);
}

double deepestGainDb(const ReportData& data) {
    double lowest = 1.0;
    for (const ChannelTrace& trace : data.channels) {
        if (!trace.limited) continue;
        for (const float gain : trace.lowestGain) lowest = std::min(lowest, static_cast<double>(gain));
    }
    return toDecibels(lowest);
}

double roundedAway(double db, double step) { return std::ceil(std::fabs(db) / step) * step; }

std::string SvgWriter::render() {
    const double channelBlock = kLevelHeight + kPanelGap + kGainHeight + kChannelGap;
    const bool loudness = !data.outputCourse.empty();
    const double height = kHeader + channelBlock * data.channels.size() +
                          (loudness ? kLoudnessHeight + kChannelGap : 0.0) + kFooter;
    const double highDb = std::min(kHighestLevelTopDb,
                                   std::max(kLowestLevelTopDb, roundedAway(highestInputDb(data),
                                                                           kGainRounding)));
    const double deepest = deepestGainDb(data);
    const double lowDb = std::isfinite(deepest)
                             ? -std::min(-kDeepestGainFloorDb,
                                         std::max(-kShallowestGainFloorDb,
                                                  roundedAway(deepest, kGainRounding)))
                             : kDeepestGainFloorDb;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << number(kWidth) << "\" height=\""
        << number(height) << "\" viewBox=\"0 0 " << number(kWidth) << ' ' << number(height)
        << "\" font-family=\"sans-serif\" font-size=\"" << kFontSize << "\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text id=\"title\" x=\"" << number(kLeft) << "\" y=\"" << number(kTitleBaseline)
        << "\" font-size=\"" << kTitleFontSize << "\" font-weight=\"bold\">"
        << escapeXml(data.title) << "</text>\n"
        << "<text x=\"" << number(kLeft) << "\" y=\"" << number(kSettingsBaseline) << "\">"
        << escapeXml(data.settings) << "</text>\n";
    legend(kSettingsBaseline + kLegendDrop, {{"input after gain", kInputColour},
                                             {"output", kOutputColour},
                                             {"gain reduction", kGainColour},
                                             {ceilingText(), kCeilingColour}});
    for (std::size_t channel = 0; channel < data.channels.size(); ++channel) {
        const ChannelTrace& trace = data.channels[channel];
        const double top = kHeader + channelBlock * channel;
        out << "<g id=\"channel-" << escapeXml(trace.name) << "\">\n";
        levelPanel(trace, top, highDb, loudness && channel == data.truePeakChannel);
        gainPanel(trace, top + kLevelHeight + kPanelGap, lowDb);
        out << "</g>\n";
    }
    if (loudness) loudnessPanel(kHeader + channelBlock * data.channels.size());
    out << "</svg>\n";
    return out.str();
}

void SvgWriter::levelPanel(const ChannelTrace& trace, double top, double highDb, bool marked) {
    const Scale scale{top, kLevelHeight, highDb, kLevelFloorDb};
    frame(scale, escapeXml(trace.name) + ": peak level", "level (dBFS)");
    grid(scale, niceStep(kDecibelSteps, std::size(kDecibelSteps), highDb - kLevelFloorDb, kMaxTicks));
    timeGrid(scale);
    envelope("input-peak-" + trace.name, trace.inputPeak, scale, kInputColour, kInputOpacity);
    envelope("output-peak-" + trace.name, trace.outputPeak, scale, kOutputColour, kOutputOpacity);
    horizontal("ceiling-" + trace.name, scale.y(data.ceilingDb), kCeilingColour, ceilingText());
    if (!marked) return;
    // The highest true peak of the output, where it lies.
    const double x = timeX(data.truePeakSeconds);
    const double y = scale.y(data.truePeakDb);
    out << "<circle id=\"true-peak\" cx=\"" << number(x) << "\" cy=\"" << number(y) << "\" r=\""
        << number(kMarkRadius) << "\" fill=\"none\" stroke=\"" << kMarkColour << "\"/>\n"
        << "<text x=\"" << number(x + kLabelOffset) << "\" y=\"" << number(y + kTickLabelDrop)
        << "\">true peak " << number(data.truePeakDb, kMaxLabelDecimals) << " dBTP at "
        << number(data.truePeakSeconds, kMaxLabelDecimals) << " s</text>\n";
}

// Short-term loudness of input and output over time, with the target.
void SvgWriter::loudnessPanel(double top) {
    double loudest = data.targetLufs.value_or(-std::numeric_limits<double>::infinity());
    for (const auto* values : {&data.inputCourse, &data.outputCourse}) {
        for (const double value : *values) {
            if (std::isfinite(value)) loudest = std::max(loudest, value);
        }
    }
    if (!std::isfinite(loudest)) loudest = 0.0;
    const double highDb = std::ceil((loudest + kLoudnessHeadroomDb) / kGainRounding) * kGainRounding;
    const Scale scale{top, kLoudnessHeight, highDb, highDb - kLoudnessSpanDb};
    frame(scale, "short-term loudness (3 s)", "loudness (LUFS)");
    grid(scale, niceStep(kDecibelSteps, std::size(kDecibelSteps), kLoudnessSpanDb, kMaxTicks));
    timeGrid(scale);
    course("short-term-input", data.inputCourse, scale, kInputColour);
    course("short-term-output", data.outputCourse, scale, kOutputColour);
    if (data.targetLufs) {
        horizontal("target", scale.y(*data.targetLufs), kTargetColour,
                   "target " + label(*data.targetLufs) + " LUFS");
    }
    timeAxis(scale);
}

void SvgWriter::course(const std::string& id, const std::vector<double>& values,
                       const Scale& scale, const char* colour) {
    out << "<polyline id=\"" << id << "\" fill=\"none\" stroke=\"" << colour << "\" points=\"";
    for (std::size_t at = 0; at < values.size(); ++at) {
        const double seconds = std::min(data.seconds, (at + 1) * kShortTermEverySeconds);
        const double value = std::isfinite(values[at]) ? values[at] : scale.lowDb;
        out << number(timeX(seconds)) << ',' << number(scale.y(value)) << ' ';
    }
    out << "\"/>\n";
}

void SvgWriter::horizontal(const std::string& id, double y, const char* colour,
                           const std::string& text) {
    out << "<line id=\"" << escapeXml(id) << "\" x1=\"" << number(kLeft) << "\" y1=\"" << number(y)
        << "\" x2=\"" << number(kWidth - kRight) << "\" y2=\"" << number(y) << "\" stroke=\""
        << colour << "\" stroke-dasharray=\"" << kDash << "\"/>\n"
        << "<text x=\"" << number(kWidth - kRight - kLabelOffset) << "\" y=\""
        << number(y - kLabelOffset) << "\" text-anchor=\"end\" fill=\"" << colour << "\">"
        << escapeXml(text) << "</text>\n";
}

void SvgWriter::gainPanel(const ChannelTrace& trace, double top, double lowDb) {
    const Scale scale{top, kGainHeight, 0.0, lowDb};
    frame(scale, escapeXml(trace.name) + ": gain reduction", "reduction (dB)");
    grid(scale, niceStep(kDecibelSteps, std::size(kDecibelSteps), -lowDb, kMaxGainTicks));
    timeGrid(scale);
    if (trace.limited) {
        out << "<polyline id=\"gain-reduction-" << escapeXml(trace.name)
            << "\" fill=\"none\" stroke=\"" << kGainColour << "\" points=\"";
        const std::size_t columns = trace.lowestGain.size();
        for (std::size_t column = 0; column < columns; ++column) {
            out << number(columnX(column, columns)) << ','
                << number(scale.y(toDecibels(trace.lowestGain[column]))) << ' ';
        }
        out << "\"/>\n";
    } else {
        out << "<text x=\"" << number(kLeft + kLabelOffset) << "\" y=\""
            << number(top + kGainHeight * kHalf) << "\">not limited: written as silence</text>\n";
    }
    timeAxis(scale);
}

void SvgWriter::frame(const Scale& scale, const std::string& caption, const std::string& axisTitle) {
    out << "<rect x=\"" << number(kLeft) << "\" y=\"" << number(scale.top) << "\" width=\""
        << number(plotWidth()) << "\" height=\"" << number(scale.height)
        << "\" fill=\"none\" stroke=\"black\"/>\n"
        << "<text x=\"" << number(kLeft + kLabelOffset) << "\" y=\""
        << number(scale.top - kLabelOffset) << "\" font-weight=\"bold\">" << caption << "</text>\n";
    const double middle = scale.top + scale.height * kHalf;
    const double x = kLeft - kAxisTitleOffset;
    out << "<text x=\"" << number(x) << "\" y=\"" << number(middle)
        << "\" text-anchor=\"middle\" transform=\"rotate(" << number(kRightAngle) << ' '
        << number(x) << ' ' << number(middle) << ")\">" << axisTitle << "</text>\n";
}

void SvgWriter::grid(const Scale& scale, double step) {
    for (double db = std::floor(scale.highDb / step) * step; db >= scale.lowDb; db -= step) {
        const double y = scale.y(db);
        out << "<line x1=\"" << number(kLeft) << "\" y1=\"" << number(y) << "\" x2=\""
            << number(kWidth - kRight) << "\" y2=\"" << number(y) << "\" stroke=\"" << kGridColour
            << "\"/>\n<text x=\"" << number(kLeft - kLabelOffset) << "\" y=\"" << number(y)
            << "\" text-anchor=\"end\" dominant-baseline=\"middle\">" << label(db) << "</text>\n";
    }
}

void SvgWriter::timeGrid(const Scale& scale) {
    if (data.seconds <= 0.0) return;
    const double step = timeStep();
    for (double t = step; t < data.seconds; t += step) {
        const double x = timeX(t);
        out << "<line x1=\"" << number(x) << "\" y1=\"" << number(scale.top) << "\" x2=\""
            << number(x) << "\" y2=\"" << number(scale.top + scale.height) << "\" stroke=\""
            << kGridColour << "\"/>\n";
    }
}

void SvgWriter::timeAxis(const Scale& scale) {
    const double step = timeStep();
    const double bottom = scale.top + scale.height;
    for (double t = 0.0; t <= data.seconds + step * kTickTolerance; t += step) {
        const double x = timeX(std::min(t, data.seconds));
        out << "<line x1=\"" << number(x) << "\" y1=\"" << number(bottom) << "\" x2=\""
            << number(x) << "\" y2=\"" << number(bottom + kLabelOffset)
            << "\" stroke=\"black\"/>\n<text x=\"" << number(x) << "\" y=\""
            << number(bottom + kTickLabelDrop) << "\" text-anchor=\"middle\">" << label(t)
            << "</text>\n";
        if (data.seconds <= 0.0) break;
    }
    out << "<text x=\"" << number(kLeft + plotWidth() * kHalf) << "\" y=\""
        << number(bottom + kTimeTitleOffset) << "\" text-anchor=\"middle\">time (s)</text>\n";
}

void SvgWriter::envelope(const std::string& id, const std::vector<float>& peaks, const Scale& scale,
                         const char* colour, const char* opacity) {
    const std::size_t columns = peaks.size();
    const double bottom = scale.top + scale.height;
    out << "<polygon id=\"" << escapeXml(id) << "\" fill=\"" << colour << "\" fill-opacity=\""
        << opacity << "\" points=\"";
    for (std::size_t column = 0; column < columns; ++column) {
        out << number(columnX(column, columns)) << ',' << number(scale.y(toDecibels(peaks[column])))
            << ' ';
    }
    out << number(kWidth - kRight) << ',' << number(bottom) << ' ' << number(kLeft) << ','
        << number(bottom) << "\"/>\n";
}

void SvgWriter::legend(double y, const std::vector<std::pair<std::string, const char*>>& entries) {
    double x = kLeft;
    for (const auto& [text, colour] : entries) {
        out << "<rect x=\"" << number(x) << "\" y=\"" << number(y - kLegendSwatch * kHalf)
            << "\" width=\"" << number(kLegendSwatch) << "\" height=\"" << number(kLegendSwatchHeight)
            << "\" fill=\"" << colour << "\"/>\n<text x=\"" << number(x + kLegendSwatch + kLegendGap)
            << "\" y=\"" << number(y) << "\">" << text << "</text>\n";
        x += kLegendStep;
    }
}

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string escaped;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8Length(text, at);
        if (length == 0) {
            escaped += kReplacement;  // not UTF-8: a file name in another encoding
            ++at;
            continue;
        }
        const char c = text[at];
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&apos;"; break;
            default:
                // Control characters are not allowed in XML 1.0 at all.
                if (length > 1 || static_cast<unsigned char>(c) >= ' ' || c == '\t') {
                    escaped.append(text, at, length);
                }
        }
        at += length;
    }
    return escaped;
}

std::string renderSvgReport(const ReportData& data) { return SvgWriter(data).render(); }

}  // namespace limit_tool
