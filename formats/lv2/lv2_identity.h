// The names by which hosts know the bundle. They are stored in hosts' sessions:
// once released they never change. No '#': hosts built on JUCE cut a URI at
// '#' before they hand it to the UI.
#pragma once

namespace formats::lv2 {

constexpr char kPluginUri[] = "https://vrn-quillo.invalid/lv2/limiter";
constexpr char kUiUri[] = "https://vrn-quillo.invalid/lv2/limiter/ui";
// Programs become presets <kPresetUriPrefix><number from 1>.
constexpr char kPresetUriPrefix[] = "https://vrn-quillo.invalid/lv2/limiter/preset/";
// The stereo port groups.
constexpr char kInputGroupUri[] = "https://vrn-quillo.invalid/lv2/limiter/in";
constexpr char kOutputGroupUri[] = "https://vrn-quillo.invalid/lv2/limiter/out";

}  // namespace formats::lv2
