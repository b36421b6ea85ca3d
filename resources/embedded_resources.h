// The skin bitmaps compiled into a build whose binaries carry no resource
// section: each file's bytes, found by its resource identifier.
#pragma once

#include <cstddef>
#include <cstdint>

struct EmbeddedResource {
    const uint8_t* data;
    size_t size;
};

// Null data and size 0 for an identifier the build does not hold.
EmbeddedResource embeddedResource(int32_t id);
