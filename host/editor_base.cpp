#include "host/editor_base.h"

#include "host/effect_base.h"

EditorBase::EditorBase(EffectBase* owner) : effect(owner) {
    if (effect != nullptr) effect->attachEditor(this);
}

EditorBase::~EditorBase() = default;

intptr_t EditorBase::editorRect(ERect** out) {
    if (out != nullptr) *out = nullptr;
    return 0;
}

intptr_t EditorBase::openEditor(void* parent) {
    parentWindow = parent;
    return 0;
}

void EditorBase::closeEditor() {}

void EditorBase::editorIdle() {
    if (updatePending == 0) return;
    updatePending = 0;
    editorUpdate();
}

void EditorBase::editorUpdate() {}
void EditorBase::requestEditorUpdate() { updatePending = 1; }
