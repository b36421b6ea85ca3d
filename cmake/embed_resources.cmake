# Compiles the bitmaps a resource script names into a C++ source, for builds
# whose binaries have no resource section. The script stays the one list of
# identifiers and files:
#   cmake -DSCRIPT=quillo.rc -DOUTPUT=embedded_resources.cpp -P embed_resources.cmake
file(STRINGS "${SCRIPT}" entries REGEX "^[0-9]+[ \t]+BITMAP[ \t]+\"[^\"]+\"")
get_filename_component(directory "${SCRIPT}" DIRECTORY)
string(REPEAT "\\\\x.." 32 line_of_bytes)
set(arrays "")
set(cases "")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^([0-9]+).*\"([^\"]+)\".*$" "\\1;\\2" parts "${entry}")
    list(GET parts 0 id)
    list(GET parts 1 name)
    file(READ "${directory}/${name}" hex HEX)
    # One string literal of escaped bytes per line: far quicker to compile than
    # a braced list of the same bytes.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
    string(REGEX REPLACE "(${line_of_bytes})" "\\1\"\n    \"" lines "${escaped}")
    string(APPEND arrays "// ${name}\nconst char kResource${id}[] =\n    \"${lines}\";\n\n")
    string(APPEND cases "    case ${id}:\n        return EmbeddedResource{reinterpret_cast<const uint8_t*>(kResource${id}), sizeof kResource${id} - 1};\n")
endforeach()
set(source "// Generated from ${SCRIPT} at build time; do not edit.
#include \"resources/embedded_resources.h\"

namespace {

${arrays}}  // namespace

EmbeddedResource embeddedResource(int32_t id) {
    switch (id) {
${cases}    default:
        return EmbeddedResource{nullptr, 0};
    }
}
")
# Written only when it changes, so an unchanged skin compiles nothing anew.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${source}" @ONLY)
