// The needle meter: its ivory face with the printed scale, the glass, and the
// needle in each of its frames.
#include <cmath>

#include "editor/face_mapping.h"
#include "editor/skin_layout.h"
#include "tools/skin/skin_art.h"
#include "tools/skin/stroke_font.h"

namespace {

// The needle turns about a pivot hidden below the meter window, and passes
// through the middle of its slice at the slice's middle row.
constexpr float kPivotX = 112.0f;
constexpr float kPivotY = 172.0f;
constexpr float kSliceMiddleRow = kNeedleOrigin.y + kNeedleSliceHeight / 2.0f;
constexpr float kNeedleLength = 115.0f;
constexpr float kArcRadius = 108.0f;
constexpr float kMajorTick = 7.0f;
constexpr float kMinorTick = 4.0f;
constexpr float kNumberRadius = 121.0f;
const Colour kIvory = rgb(0xF1E7CC);
const Colour kIvoryEdge = rgb(0xC9B98F);
const Colour kInk = rgb(0x24201A);
const Colour kNeedleInk = rgb(0x1B1714);
const Colour kAccent = rgb(0xB0301E);

// The needle's direction for a (fractional) frame position, as an angle from upright.
float needleAngle(float frame) {
    const float centre = static_cast<float>(kNeedleOrigin.x) + kNeedleSliceWidth / 2.0f + frame +
                         (frame >= kNeedleStepFrame ? 1.0f : 0.0f);
    return std::atan2(centre - kPivotX, kPivotY - kSliceMiddleRow);
}

struct Point {
    float x, y;
};

Point alongNeedle(float angle, float radius) {
    return Point{kPivotX + radius * std::sin(angle), kPivotY - radius * std::cos(angle)};
}

// Where the needle stands for a reduction in dB, through the editor's own mapping.
float frameForDecibels(float decibels) {
    const float gain = std::pow(10.0f, -decibels / 20.0f);
    for (int32_t i = 1; i < kMeterBreakpointCount; ++i) {
        const MeterBreakpoint& low = kMeterBreakpoints[i - 1];
        const MeterBreakpoint& high = kMeterBreakpoints[i];
        if (gain <= high.gain) {
            return low.frame + (gain - low.gain) / (high.gain - low.gain) * (high.frame - low.frame);
        }
    }
    return kMeterBreakpoints[kMeterBreakpointCount - 1].frame;
}

void paintScale(Canvas& canvas) {
    const float first = needleAngle(0.0f);
    const float last = needleAngle(static_cast<float>(kNeedleRestFrame));
    // The arc, thicker over the last few dB where a limiter mostly works.
    const int32_t steps = 160;
    for (int32_t s = 0; s < steps; ++s) {
        const float a0 = first + (last - first) * s / steps;
        const float a1 = first + (last - first) * (s + 1) / steps;
        const Point p0 = alongNeedle(a0, kArcRadius);
        const Point p1 = alongNeedle(a1, kArcRadius);
        canvas.line(p0.x, p0.y, p1.x, p1.y, 1.0f, kInk);
    }
    const float warm = needleAngle(frameForDecibels(6.0f));
    for (int32_t s = 0; s < steps; ++s) {
        const float a0 = warm + (last - warm) * s / steps;
        const float a1 = warm + (last - warm) * (s + 1) / steps;
        const Point p0 = alongNeedle(a0, kArcRadius + 2.0f);
        const Point p1 = alongNeedle(a1, kArcRadius + 2.0f);
        canvas.line(p0.x, p0.y, p1.x, p1.y, 2.0f, kAccent);
    }
    for (float minor : {35.0f, 25.0f, 15.0f, 8.0f, 7.0f, 5.5f, 4.5f, 3.5f, 2.5f, 1.5f, 0.5f}) {
        const float angle = needleAngle(frameForDecibels(minor));
        const Point inner = alongNeedle(angle, kArcRadius - kMinorTick);
        const Point outer = alongNeedle(angle, kArcRadius);
        canvas.line(inner.x, inner.y, outer.x, outer.y, 0.8f, kInk);
    }
    const TextStyle numbers{0.8f, 0.9f, 0.2f, kInk};
    for (int32_t i = 0; i < kMeterBreakpointCount; ++i) {
        const float angle = needleAngle(kMeterBreakpoints[i].frame);
        const Point inner = alongNeedle(angle, kArcRadius - kMajorTick);
        const Point outer = alongNeedle(angle, kArcRadius + 1.0f);
        canvas.line(inner.x, inner.y, outer.x, outer.y, 1.2f, kInk);
        const Point label = alongNeedle(angle, kNumberRadius);
        drawTextCentred(canvas, std::to_string(kMeterScaleDecibels[i]), label.x, label.y - 2.4f, numbers);
    }
}

}  // namespace

Canvas paintMeterFace(bool withLetters) {
    Canvas canvas(kFaceWidth, kFaceHeight);
    const SkinRect& w = kMeterWindow;
    // Backlit ivory, brightest low in the middle where the lamp sits.
    for (int32_t y = w.y; y < w.y + w.height; ++y) {
        for (int32_t x = w.x; x < w.x + w.width; ++x) {
            const float dx = (x - (w.x + w.width / 2.0f)) / (w.width * 0.7f);
            const float dy = (y - (w.y + w.height * 0.85f)) / (w.height * 1.3f);
            const float light = std::min(1.0f, std::sqrt(dx * dx + dy * dy));
            canvas.set(x, y, mix(kIvory, kIvoryEdge, light * light));
        }
    }
    paintScale(canvas);
    const TextStyle caption{0.75f, 0.8f, 0.5f, kInk};
    drawTextCentred(canvas, "GAIN REDUCTION", kPivotX, 91.0f, caption);
    drawTextCentred(canvas, "dB", kPivotX, 80.0f, TextStyle{0.9f, 0.9f, 0.3f, kInk});
    if (withLetters) {
        const TextStyle letters{1.3f, 1.2f, 0.0f, kInk};
        drawTextCentred(canvas, "L", kLeftMarkCover.x + kLeftCoverPatch.width / 2.0f, kLeftMarkCover.y + 2.5f, letters);
        drawTextCentred(canvas, "R", kRightMarkCover.x + kRightCoverPatch.width / 2.0f, kRightMarkCover.y + 2.5f,
                        letters);
    }
    return canvas;
}

void paintMeterGlass(Canvas& canvas, int32_t left, int32_t top, int32_t width, int32_t height, int32_t faceX,
                     int32_t faceY) {
    const SkinRect& w = kMeterWindow;
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            const float x = static_cast<float>(faceX + i - w.x);
            const float y = static_cast<float>(faceY + j - w.y);
            // A soft diagonal sheen across the upper part of the glass, and shade along the top rim.
            const float sheen = std::max(0.0f, 1.0f - std::fabs(y + x * 0.25f - 14.0f) / 10.0f) * 0.10f;
            const float rim = std::max(0.0f, 1.0f - y / 6.0f) * 0.35f;
            Colour c = canvas.get(left + i, top + j);
            c = mix(c, grey(1.0f), sheen);
            c = mix(c, grey(0.0f), rim);
            canvas.set(left + i, top + j, c);
        }
    }
}

void paintNeedle(Canvas& canvas, int32_t frame, int32_t faceX, int32_t faceY) {
    const float angle = needleAngle(static_cast<float>(frame));
    const Point tip = alongNeedle(angle, kNeedleLength);
    const Point base = alongNeedle(angle, kPivotY - (kMeterWindow.y + kMeterWindow.height) - kMajorTick);
    const float ox = static_cast<float>(-faceX);
    const float oy = static_cast<float>(-faceY);
    // A faint shadow on the face, then the needle with a red tip.
    canvas.line(base.x + ox + 1.5f, base.y + oy + 1.0f, tip.x + ox + 1.5f, tip.y + oy + 1.0f, 1.6f,
                mix(kIvory, grey(0.0f), 0.5f));
    const Point mark = alongNeedle(angle, kArcRadius - kMajorTick - 2.0f);
    canvas.line(base.x + ox, base.y + oy, mark.x + ox, mark.y + oy, 1.4f, kNeedleInk);
    canvas.line(mark.x + ox, mark.y + oy, tip.x + ox, tip.y + oy, 1.4f, kAccent);
}

Canvas paintNeedleStrip() {
    const Canvas face = paintMeterFace(true);
    Canvas strip(kNeedleStripWidth, kNeedleSliceHeight);
    for (int32_t frame = 0; frame < kNeedleSlices; ++frame) {
        Canvas slice(kNeedleSliceWidth, kNeedleSliceHeight);
        const int32_t x = needleSliceX(frame);
        slice.paste(face, x, kNeedleOrigin.y, kNeedleSliceWidth, kNeedleSliceHeight, 0, 0);
        paintNeedle(slice, frame, x, kNeedleOrigin.y);
        paintMeterGlass(slice, 0, 0, kNeedleSliceWidth, kNeedleSliceHeight, x, kNeedleOrigin.y);
        strip.paste(slice, 0, 0, kNeedleSliceWidth, kNeedleSliceHeight, frame * kNeedleSliceWidth, 0);
    }
    return strip;
}
