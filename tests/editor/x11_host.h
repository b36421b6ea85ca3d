// A host's side of an editor window on X11: its own connection, top-level
// windows to embed editors in, idle calls on a timer, real pointer input
// through the XTest extension, and a copy of a window's pixels.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "editor/bmp_file.h"
#include "editor/skin_layout.h"
#include "support/plugin_library.h"

class X11Host {
public:
    static constexpr int32_t kIdleMs = 20;

    // A server busy with other clients may turn a connection away for a moment.
    X11Host() {
        for (int32_t attempt = 0; attempt < kConnectAttempts && display == nullptr; ++attempt) {
            if (attempt > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            display = XOpenDisplay(nullptr);
        }
    }
    ~X11Host() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    X11Host(const X11Host&) = delete;
    X11Host& operator=(const X11Host&) = delete;

    // Mapped and viewable when this returns, at x, y of the screen (no window manager).
    Window createTopLevel(int32_t x, int32_t y) {
        const Window root = DefaultRootWindow(display);
        const Window window = XCreateSimpleWindow(display, root, x, y, kFaceWidth + kBorder, kFaceHeight + kBorder,
                                                  0, 0, BlackPixel(display, DefaultScreen(display)));
        XSelectInput(display, window, StructureNotifyMask);
        XMapWindow(display, window);
        XEvent event;
        do {
            XWindowEvent(display, window, StructureNotifyMask, &event);
        } while (event.type != MapNotify);
        return window;
    }

    static void* asParent(Window window) { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    std::vector<Window> children(Window parent) {
        Window root = None;
        Window up = None;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> found;
        if (XQueryTree(display, parent, &root, &up, &list, &count) != 0) {
            found.assign(list, list + count);
        }
        if (list != nullptr) {
            XFree(list);
        }
        return found;
    }

    // The editor's child window inside parent, or None.
    Window editorIn(Window parent) {
        for (Window child : children(parent)) {
            XClassHint hint{};
            if (XGetClassHint(display, child, &hint) != 0) {
                const bool editor = std::string(hint.res_class) == "QXclass";
                XFree(hint.res_name);
                XFree(hint.res_class);
                if (editor) {
                    return child;
                }
            }
        }
        return None;
    }

    // The host's loop for about the given time: an idle call to every editor
    // each interval, and the host's own events taken.
    void run(const std::vector<EffectHandle*>& effects, int32_t milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
            }
            for (EffectHandle* effect : effects) {
                effect->dispatch(effEditIdle);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        } while (std::chrono::steady_clock::now() < end);
    }

    // The pointer to x, y of window, as a user moves it.
    void pointTo(Window window, int32_t x, int32_t y) {
        int rootX = 0;
        int rootY = 0;
        Window child = None;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, CurrentTime);
        XSync(display, False);
    }

    void button(unsigned int which, bool down) {
        XTestFakeButtonEvent(display, which, down ? True : False, CurrentTime);
        XSync(display, False);
    }

    void click(Window window, int32_t x, int32_t y, unsigned int which) {
        pointTo(window, x, y);
        button(which, true);
        button(which, false);
    }

    // The window's pixels as the screen shows them, as blue, green, red bytes.
    PixelImage capture(Window window) {
        PixelImage image(kFaceWidth, kFaceHeight);
        XImage* shot = XGetImage(display, window, 0, 0, kFaceWidth, kFaceHeight, AllPlanes, ZPixmap);
        if (shot == nullptr) {
            return image;
        }
        const Visual* visual = DefaultVisual(display, DefaultScreen(display));
        for (int32_t y = 0; y < kFaceHeight; ++y) {
            for (int32_t x = 0; x < kFaceWidth; ++x) {
                const unsigned long pixel = XGetPixel(shot, x, y);
                uint8_t* out = image.at(x, y);
                out[0] = channel(pixel, visual->blue_mask);
                out[1] = channel(pixel, visual->green_mask);
                out[2] = channel(pixel, visual->red_mask);
            }
        }
        XDestroyImage(shot);
        return image;
    }

    Display* display = nullptr;

private:
    static constexpr int32_t kConnectAttempts = 8;
    static constexpr int32_t kBorder = 20;

    static uint8_t channel(unsigned long pixel, unsigned long mask) {
        while (mask != 0 && (mask & 1UL) == 0) {
            mask >>= 1;
            pixel >>= 1;
        }
        return static_cast<uint8_t>(pixel & mask);
    }
};
