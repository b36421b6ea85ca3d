// Paints the three skin bitmaps and writes them into a directory:
//   quillo_skin_generator DIRECTORY
// The pictures depend on nothing but this program, so they can be rebuilt at will.
#include <cstdio>
#include <string>

#include "editor/blit_target.h"
#include "editor/memory_surface.h"
#include "tools/skin/skin_art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    const struct {
        SkinBitmap bitmap;
        Canvas (*paint)();
    } pictures[] = {
        {SkinBitmap::kNeedleStrip, paintNeedleStrip},
        {SkinBitmap::kKnobStrip, paintKnobStrip},
        {SkinBitmap::kFaceSheet, paintFaceSheet},
    };
    for (const auto& picture : pictures) {
        const std::string path = directory + "/" + skinFileName(picture.bitmap);
        if (!writeBmp(path, picture.paint().toImage())) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
