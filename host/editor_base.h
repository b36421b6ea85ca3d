// The generic editor an effect may own; the host reaches it only through the
// editor opcodes of the dispatcher.
#pragma once

#include <cstdint>

class EffectBase;
struct ERect;

class EditorBase {
public:
    explicit EditorBase(EffectBase* owner);
    virtual ~EditorBase();

    virtual intptr_t editorRect(ERect** out);
    virtual intptr_t openEditor(void* parent);
    virtual void closeEditor();
    virtual void editorIdle();
    virtual void editorUpdate();
    virtual void requestEditorUpdate();

protected:
    EffectBase* effect;
    void* parentWindow = nullptr;
    int32_t updatePending = 0;
};
