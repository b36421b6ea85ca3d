#include "editor/limiter_editor.h"

#include "host/vst_abi.h"
#include "plugin/limiter_effect.h"

namespace {

// One rectangle for every editor; the host receives a pointer to it.
ERect editorRectangle{0, 0, kEditorHeight, kEditorWidth};

}  // namespace

LimiterEditor::LimiterEditor(LimiterEffect* owner)
    : EditorBase(owner), EditorPanel(effectView), limiter(owner), effectView(owner) {}

LimiterEditor::~LimiterEditor() {
    closeEditor();
}

intptr_t LimiterEditor::editorRect(ERect** out) {
    if (out != nullptr) {
        *out = &editorRectangle;
    }
    return 1;
}

intptr_t LimiterEditor::openEditor(void* parent) {
    return openEditorWith(editorWindowSystem(), parent);
}

intptr_t LimiterEditor::openEditorWith(WindowSystem* system, void* parent) {
    if (system == nullptr) {
        return EditorBase::openEditor(parent);
    }
    if (isOpen == 1) {
        return 1;
    }
    parentWindow = parent;
    if (!session.open(*system, parent, *this)) {
        return 0;
    }
    isOpen = 1;
    return 1;
}

void LimiterEditor::closeEditor() {
    if (isOpen != 1) {
        return;
    }
    isOpen = 0;
    releaseHeldKnob();
    session.close();
}

// Everything this editor shows is refreshed by its own timer; where the host's
// idle calls are that timer, the window runs it from here.
void LimiterEditor::editorIdle() {
    session.idle();
}

void LimiterEditor::editorUpdate() {}

void LimiterEditor::reservedOperation(int32_t, int32_t) {}

void LimiterEditor::applyStartupDefaults() {
    int32_t index = 0;
    for (float value : kParameterStart) {
        limiter->paramValue[index++] = value;
    }
    limiter->singleChannel = false;
    limiter->engine.resetMeters();
    resetDisplayState();
    limiter->updateInputGain();
}
