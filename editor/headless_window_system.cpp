// Builds without a windowing layer offer no editor window; the editor's logic
// still runs and the host is told that no window opened.
#include "editor/window_system.h"

WindowSystem* editorWindowSystem() {
    return nullptr;
}
