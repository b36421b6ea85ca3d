// The seam between the editor and a windowing system. The editor's open and
// close logic runs against these interfaces; the Windows layer implements them,
// and where there is none the editor offers no window.
#pragma once

#include <cstdint>

#include "editor/blit_target.h"

// What an open window delivers to the editor it shows.
class WindowClient {
public:
    virtual ~WindowClient() = default;
    // The window was uncovered or is about to be painted: a full face is due.
    virtual void requestFullFace() = 0;
    // The window's own timer fired; the window draws through target.
    virtual void onTimerTick(BlitTarget& target) = 0;
    // Positions arrive packed: low word x, high word y, each signed 16-bit.
    virtual void onMouseMove(uint32_t position) = 0;
    virtual void onLeftButtonDown(uint32_t position) = 0;
    virtual void onRightButtonDown(uint32_t position) = 0;
    virtual void onButtonUp() = 0;
};

// One open editor window with its drawing contexts and timer.
class EditorWindow : public BlitTarget {
public:
    // Starts the timer and readies the off-screen bitmap for drawing.
    virtual void start() = 0;
    // The host's idle call. Where the host drives the window from it (no
    // message loop of the plug-in's own), the window takes its events and runs
    // the ticks that are due, without waiting; where the window system has its
    // own loop and timer, there is nothing to do.
    virtual void idle() {}
    // Where idle() is the window's only way to its events: a descriptor that
    // becomes readable when events wait (the connection to the window system),
    // for hosts that run idle() from their own loop's watch on it; -1 elsewhere,
    // and once the connection is lost.
    virtual int eventDescriptor() const { return -1; }
    // The window itself as its system names it (an HWND, an X window id).
    virtual void* nativeHandle() const { return nullptr; }
};

// The process-wide side: window class, skin bitmaps, window creation.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    virtual void registerWindowClass() = 0;
    virtual void unregisterWindowClass() = 0;
    // Creates the child window of parent with its drawing contexts and the
    // off-screen bitmap; null when the window cannot be created.
    virtual EditorWindow* createWindow(void* parent, WindowClient& client) = 0;
    // Loads the shared skin, compatible with the first open window.
    virtual void loadSkin(EditorWindow& first) = 0;
    virtual void releaseSkin() = 0;
    // Stops the timer, destroys the window and frees its drawing contexts.
    virtual void destroyWindow(EditorWindow* window) = 0;
};

// The window system of this build, or null where the editor has no window.
WindowSystem* editorWindowSystem();
