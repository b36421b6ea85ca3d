// What an editor window should show: the editor's drawing code on the
// in-memory surface, for an effect's parameter values with the meters at rest.
#pragma once

#include <algorithm>
#include <cstdint>

#include "editor/editor_panel.h"
#include "editor/memory_surface.h"
#include "editor/skin_layout.h"
#include "editor_fakes.h"
#include "host/vst_abi.h"

// A full face, then ticks enough for the lamps to settle.
inline PixelImage expectedFace(MemorySurface& skin, AEffect* record) {
    FakeEffect values;
    for (int32_t i = 0; i < kFaceStereoLink + 1; ++i) {
        values.values[i] = record->getParameter(record, i) * values.maxima[i];
    }
    values.updateInputGain();
    EditorPanel panel(values);
    panel.isOpen = 1;
    panel.drawFrame(skin, kFullFace, kNoControl);
    for (int32_t tick = 0; tick < kLampFrames; ++tick) {
        panel.drawFrame(skin, kNoRedraw, kNoControl);
    }
    return skin.image(SkinBitmap::kWindow);
}

// Pixels that differ between two pictures of the face.
inline int32_t differingPixels(const PixelImage& a, const PixelImage& b) {
    int32_t count = 0;
    for (int32_t y = 0; y < kFaceHeight; ++y) {
        for (int32_t x = 0; x < kFaceWidth; ++x) {
            count += std::equal(a.at(x, y), a.at(x, y) + kBytesPerPixel, b.at(x, y)) ? 0 : 1;
        }
    }
    return count;
}
