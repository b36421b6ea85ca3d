// The skin files as the editor uses them: sizes, masks, frame order, and
// frames composed from them on the in-memory surface.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "editor/editor_panel.h"
#include "editor/face_mapping.h"
#include "editor/memory_surface.h"
#include "editor/skin_layout.h"
#include "editor_fakes.h"

namespace {

int32_t brightness(const PixelImage& image, int32_t x, int32_t y) {
    const uint8_t* p = image.at(x, y);
    return p[0] + p[1] + p[2];
}

bool samePixel(const PixelImage& a, int32_t ax, int32_t ay, const PixelImage& b, int32_t bx, int32_t by) {
    return std::equal(a.at(ax, ay), a.at(ax, ay) + kBytesPerPixel, b.at(bx, by));
}

bool sameBlock(const PixelImage& a, int32_t ax, int32_t ay, const PixelImage& b, int32_t bx, int32_t by, int32_t w,
               int32_t h) {
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            if (!samePixel(a, ax + x, ay + y, b, bx + x, by + y)) {
                return false;
            }
        }
    }
    return true;
}

struct SkinFixture : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(surface.loadSkin(QUILLO_RESOURCES_DIR)); }

    const PixelImage& sheet() const { return surface.image(SkinBitmap::kFaceSheet); }
    const PixelImage& knobs() const { return surface.image(SkinBitmap::kKnobStrip); }
    const PixelImage& needles() const { return surface.image(SkinBitmap::kNeedleStrip); }

    // Every sprite pixel outside its mask is black, so painting it leaves the face alone.
    void expectBlackOutsideMask(const PixelImage& image, int32_t maskX, int32_t maskY, int32_t frameX,
                                int32_t frameY, int32_t size) {
        int32_t inside = 0;
        for (int32_t y = 0; y < size; ++y) {
            for (int32_t x = 0; x < size; ++x) {
                const int32_t mask = brightness(image, maskX + x, maskY + y);
                ASSERT_TRUE(mask == 0 || mask == 3 * 255) << "masks are black or white";
                if (mask != 0) {
                    ASSERT_EQ(brightness(image, frameX + x, frameY + y), 0) << frameX << " at " << x << "," << y;
                } else {
                    ++inside;
                }
            }
        }
        EXPECT_GT(inside, size * size / 2);
    }

    MemorySurface surface;
};

}  // namespace

TEST_F(SkinFixture, BitmapsHaveTheSizesTheEditorCutsThemBy) {
    EXPECT_EQ(sheet().width, kFaceSheetWidth);
    EXPECT_EQ(sheet().height, kFaceSheetHeight);
    EXPECT_EQ(knobs().width, kKnobStripWidth);
    EXPECT_EQ(knobs().height, kKnobCell);
    EXPECT_EQ(needles().width, kNeedleStripWidth);
    EXPECT_EQ(needles().height, kNeedleSliceHeight);
}

TEST_F(SkinFixture, SpritesStayInsideTheirMasks) {
    for (int32_t frame = 0; frame < kKnobFrames; ++frame) {
        expectBlackOutsideMask(knobs(), 0, 0, kKnobCell * (frame + 1), 0, kKnobCell);
    }
    for (int32_t frame = 1; frame <= kLampFrames; ++frame) {
        const SkinRect r = lampFrameRegion(frame);
        expectBlackOutsideMask(sheet(), kLampMask.x, kLampMask.y, r.x, r.y, kLampSize);
    }
}

TEST_F(SkinFixture, KnobPointersTurnClockwiseFromStraightDown) {
    // The brightest pixels of a frame are its pointer.
    const struct {
        int32_t frame;
        int32_t dx;
        int32_t dy;
    } quarters[] = {{0, 0, 1}, {20, -1, 0}, {40, 0, -1}, {60, 1, 0}};
    for (const auto& q : quarters) {
        double sx = 0, sy = 0;
        int32_t count = 0;
        for (int32_t y = 0; y < kKnobCell; ++y) {
            for (int32_t x = 0; x < kKnobCell; ++x) {
                if (brightness(knobs(), kKnobCell * (q.frame + 1) + x, y) > 3 * 230) {
                    sx += x - kKnobCell / 2.0 + 0.5;
                    sy += y - kKnobCell / 2.0 + 0.5;
                    ++count;
                }
            }
        }
        ASSERT_GT(count, 0) << q.frame;
        EXPECT_GT(sx / count * q.dx + sy / count * q.dy, 5.0) << "frame " << q.frame;
    }
}

TEST_F(SkinFixture, LampFramesBrightenAndEveryGlyphHasInk) {
    int64_t previous = -1;
    for (int32_t frame = 1; frame <= kLampFrames; ++frame) {
        const SkinRect r = lampFrameRegion(frame);
        int64_t total = 0;
        for (int32_t y = 0; y < kLampSize; ++y) {
            for (int32_t x = 0; x < kLampSize; ++x) {
                total += brightness(sheet(), r.x + x, r.y + y);
            }
        }
        EXPECT_GT(total, previous) << frame;
        previous = total;
    }
    for (const GlyphSpan& span : kFontGlyphs) {
        int32_t lit = 0;
        for (int32_t y = 0; y < kFontHeight; ++y) {
            for (int32_t x = 0; x < span.width; ++x) {
                lit += brightness(sheet(), span.x + x, kFontTop + y) > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(lit, 1) << span.x;
    }
}

TEST_F(SkinFixture, NeedleSlicesAreCutsOfTheMeterFaceWithTheNeedleMovingRight) {
    double previousCentre = -1;
    for (int32_t frame = 0; frame < kNeedleSlices; ++frame) {
        const int32_t faceX = needleSliceX(frame);
        int32_t same = 0;
        double sum = 0;
        int32_t changed = 0;
        for (int32_t y = 0; y < kNeedleSliceHeight; ++y) {
            for (int32_t x = 0; x < kNeedleSliceWidth; ++x) {
                if (samePixel(needles(), frame * kNeedleSliceWidth + x, y, sheet(), faceX + x, kNeedleOrigin.y + y)) {
                    ++same;
                } else {
                    sum += faceX + x;
                    ++changed;
                }
            }
        }
        EXPECT_GT(same, kNeedleSliceWidth * kNeedleSliceHeight * 3 / 4) << frame;
        ASSERT_GT(changed, 0) << frame;
        EXPECT_GT(sum / changed, previousCentre) << frame;
        previousCentre = sum / changed;
    }
}

TEST_F(SkinFixture, ComposedFrameShowsTheFaceTheReadoutGlyphsAndTheNeedle) {
    FakeEffect effect;
    EditorPanel panel(effect);
    panel.isOpen = 1;
    effect.meters[0] = 0.5012f;
    panel.drawFrame(surface, kFullFace, kNoControl);
    const PixelImage& window = surface.image(SkinBitmap::kWindow);
    EXPECT_TRUE(sameBlock(window, 0, 0, sheet(), 0, 0, kFaceWidth, kMeterWindow.y));
    EXPECT_TRUE(sameBlock(window, needleSliceX(43), kNeedleOrigin.y, needles(), 43 * kNeedleSliceWidth, 0,
                          kNeedleSliceWidth, kNeedleSliceHeight));
    // "0.0db": 7 + 3 + 7 advance, then the unit; centred on the Gain read-out.
    const int32_t left = kGainReadoutCentre - 30 / 2 - kReadoutMargin;
    const GlyphSpan zero = kFontGlyphs[kGlyphDigitZero];
    const GlyphSpan point = kFontGlyphs[kGlyphPoint];
    const GlyphSpan unit = kFontGlyphs[kGlyphDecibel];
    EXPECT_TRUE(sameBlock(window, left + 3, kReadoutTop, sheet(), zero.x, kFontTop, zero.width, kFontHeight));
    EXPECT_TRUE(sameBlock(window, left + 10, kReadoutTop, sheet(), point.x, kFontTop, point.width, kFontHeight));
    EXPECT_TRUE(sameBlock(window, left + 13, kReadoutTop, sheet(), zero.x, kFontTop, zero.width, kFontHeight));
    EXPECT_TRUE(sameBlock(window, left + 20, kReadoutTop, sheet(), unit.x, kFontTop, unit.width, kFontHeight));
    EXPECT_EQ(brightness(window, left, kReadoutTop), 0);
    EXPECT_EQ(surface.framesPresented, 1);
}

TEST_F(SkinFixture, AReadoutShowsItsTextAloneWhateverWasShownBefore) {
    FakeEffect effect;
    EditorPanel panel(effect);
    panel.isOpen = 1;
    panel.drawFrame(surface, kFullFace, kNoControl);
    const PixelImage atUnity = surface.image(SkinBitmap::kWindow);
    // "4.00db", then back to the narrower "0.0db".
    for (float gain : {0.55f, kUnityGainValue}) {
        effect.values[kFaceInGain] = gain;
        effect.updateInputGain();
        panel.drawFrame(surface, kNoRedraw, kGainControl);
    }
    EXPECT_TRUE(sameBlock(surface.image(SkinBitmap::kWindow), 0, 0, atUnity, 0, 0, kFaceWidth, kFaceHeight));
}

TEST_F(SkinFixture, CoverPatchesHideTheChannelLetters) {
    FakeEffect effect;
    EditorPanel panel(effect);
    panel.isOpen = 1;
    effect.active[0] = 0;
    panel.drawFrame(surface, kFullFace, kNoControl);
    const PixelImage& window = surface.image(SkinBitmap::kWindow);
    EXPECT_TRUE(sameBlock(window, kLeftMarkCover.x, kLeftMarkCover.y, sheet(), kLeftCoverPatch.x,
                          kLeftCoverPatch.y, kLeftCoverPatch.width, kLeftCoverPatch.height));
    EXPECT_FALSE(sameBlock(sheet(), kLeftMarkCover.x, kLeftMarkCover.y, sheet(), kLeftCoverPatch.x,
                           kLeftCoverPatch.y, kLeftCoverPatch.width, kLeftCoverPatch.height));
    EXPECT_TRUE(sameBlock(window, kRightMarkCover.x, kRightMarkCover.y, sheet(), kRightMarkCover.x,
                          kRightMarkCover.y, kRightCoverPatch.width, kRightCoverPatch.height));
}

TEST(MemorySurfaceClipping, CopiesBeyondEitherBitmapTouchNothingOutside) {
    MemorySurface surface;
    PixelImage& source = surface.image(SkinBitmap::kFaceSheet);
    source = PixelImage(4, 4);
    std::fill(source.pixels.begin(), source.pixels.end(), 0xAB);
    surface.blit(SkinBitmap::kOffscreen, -2, -2, 10, 10, SkinBitmap::kFaceSheet, 0, 0, RasterOp::kCopy);
    const PixelImage& offscreen = surface.image(SkinBitmap::kOffscreen);
    EXPECT_EQ(offscreen.at(0, 0)[0], 0xAB);  // source pixel 2,2
    EXPECT_EQ(offscreen.at(1, 1)[0], 0xAB);
    EXPECT_EQ(offscreen.at(2, 2)[0], 0);
    surface.blit(SkinBitmap::kOffscreen, kOffscreenWidth - 1, kOffscreenHeight - 1, 50, 50, SkinBitmap::kFaceSheet, -3,
                 2, RasterOp::kCopy);
    surface.blit(SkinBitmap::kOffscreen, 0, 0, 5, 5, SkinBitmap::kKnobStrip, 0, 0, RasterOp::kPaint);
    surface.blit(SkinBitmap::kOffscreen, 0, 0, kOffscreenWidth * 2, 3, SkinBitmap::kFaceSheet, 0, 0,
                 RasterOp::kBlackness);
    EXPECT_EQ(offscreen.at(kOffscreenWidth - 1, 2)[2], 0);
    EXPECT_EQ(offscreen.at(0, 3)[0], 0);
}

TEST(BmpFiles, RoundTripAndRefuseWhatIsNotA24BitBitmap) {
    PixelImage image(3, 2);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        image.pixels[i] = static_cast<uint8_t>(i * 13);
    }
    const std::string path = std::string(::testing::TempDir()) + "quillo_round_trip.bmp";
    ASSERT_TRUE(writeBmp(path, image));
    PixelImage back;
    ASSERT_TRUE(readBmp(path, back));
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.pixels, image.pixels);
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 28, SEEK_SET);  // bits per pixel
    std::fputc(8, f);
    std::fclose(f);
    PixelImage refused;
    EXPECT_FALSE(readBmp(path, refused));
    EXPECT_TRUE(refused.empty());
    EXPECT_FALSE(readBmp(path + ".missing", refused));
    std::remove(path.c_str());
}
