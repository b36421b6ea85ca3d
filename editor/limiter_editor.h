// The limiter's own editor window: the host-visible editor that owns the face
// logic, and opens and closes its window through the build's window system.
#pragma once

#include <cstdint>

#include "dsp/shared_value.h"
#include "editor/editor_panel.h"
#include "editor/editor_session.h"
#include "editor/limiter_effect_view.h"
#include "host/editor_base.h"

class LimiterEffect;

constexpr int32_t kEditorWidth = 221;
constexpr int32_t kEditorHeight = 289;

class LimiterEditor : public EditorBase, public EditorPanel {
public:
    explicit LimiterEditor(LimiterEffect* owner);
    // Closes a window that is still open, so that no timer outlives the editor.
    ~LimiterEditor() override;

    intptr_t editorRect(ERect** out) override;
    intptr_t openEditor(void* parent) override;
    void closeEditor() override;
    void editorIdle() override;
    void editorUpdate() override;
    virtual void reservedOperation(int32_t first, int32_t second);
    // The open window's event descriptor for hosts that watch it; -1 otherwise.
    int eventDescriptor() const { return session.eventDescriptor(); }
    // The open window as its system names it, or null.
    void* nativeWindow() const { return session.nativeWindow(); }

    // The plug-in's start-up values for parameters, meters and this editor.
    void applyStartupDefaults();

    // Opens through the given window system instead of the build's own.
    intptr_t openEditorWith(WindowSystem* system, void* parent);

protected:
    LimiterEffect* limiter;

private:
    LimiterEffectView effectView;
    EditorSession session;
};
