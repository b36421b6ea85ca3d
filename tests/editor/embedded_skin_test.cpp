// The skin compiled into a library without a resource section: the same
// pixels as the files, and bitmap data that ends early is refused.
#include <gtest/gtest.h>

#include <vector>

#include "editor/bmp_file.h"
#include "editor/memory_surface.h"
#include "editor/skin_layout.h"
#include "resources/embedded_resources.h"

TEST(EmbeddedSkin, DecodesToThePixelsOfTheFiles) {
    MemorySurface files;
    ASSERT_TRUE(files.loadSkin(QUILLO_RESOURCES_DIR));
    const struct {
        int32_t id;
        SkinBitmap bitmap;
    } skin[] = {{kFaceSheetId, SkinBitmap::kFaceSheet},
                {kKnobStripId, SkinBitmap::kKnobStrip},
                {kNeedleStripId, SkinBitmap::kNeedleStrip}};
    for (const auto& entry : skin) {
        const EmbeddedResource resource = embeddedResource(entry.id);
        PixelImage decoded;
        ASSERT_TRUE(decodeBmp(resource.data, resource.size, decoded)) << entry.id;
        EXPECT_EQ(decoded.width, files.image(entry.bitmap).width);
        EXPECT_TRUE(decoded.pixels == files.image(entry.bitmap).pixels) << entry.id;
    }
    EXPECT_EQ(embeddedResource(kFaceSheetId - 100).data, nullptr);
}

TEST(EmbeddedSkin, BitmapDataThatEndsEarlyIsRefused) {
    const EmbeddedResource face = embeddedResource(kFaceSheetId);
    PixelImage image;
    EXPECT_FALSE(decodeBmp(face.data, face.size - 1, image));
    EXPECT_FALSE(decodeBmp(face.data, 20, image));
    EXPECT_FALSE(decodeBmp(nullptr, 0, image));
    EXPECT_TRUE(image.empty());
    // A header whose data offset points past the end.
    std::vector<uint8_t> bytes(face.data, face.data + face.size);
    bytes[10] = 0xFF;
    bytes[13] = 0x7F;
    EXPECT_FALSE(decodeBmp(bytes.data(), bytes.size(), image));
}
