// The editor window on X11, for hosts that embed plug-in windows by their X
// window id. Each window is a child of the host's window on a connection of
// its own; frames are composed in memory from the skin compiled into the
// library and copied to the server whole. There is no loop of the plug-in's
// own: the host's idle calls take the window's events and run the 50 ms tick
// by elapsed time.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "editor/memory_surface.h"
#include "editor/skin_layout.h"
#include "editor/tick_schedule.h"
#include "editor/window_system.h"
#include "editor/x11/pixel_packing.h"
#include "editor/x11/x_error_trap.h"
#include "resources/embedded_resources.h"

namespace {

constexpr char kWindowClassName[] = "QXclass";
constexpr char kWindowTitle[] = "Quillo_Limiter";
constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            StructureNotifyMask;
constexpr int32_t kLeftButton = Button1;
constexpr int32_t kRightButton = Button3;
constexpr int32_t kImagePad = 32;
constexpr int32_t kEventBatch = 64;

// Decoded by the first open window, released by the last close.
constexpr int32_t kSkinImages = 3;
PixelImage skin[kSkinImages];

// A server busy with other clients may turn a new connection away for a moment
// (its local socket's queue is full, or the connection is reset while it is
// set up); a few tries a millisecond apart get through. Nothing else is tried
// again, so a missing or unreachable display costs one attempt.
constexpr int32_t kConnectAttempts = 8;
constexpr auto kConnectRetryDelay = std::chrono::milliseconds(1);

Display* openDisplay() {
    for (int32_t attempt = 1;; ++attempt) {
        errno = 0;
        Display* display = XOpenDisplay(nullptr);
        const bool turnedAway = errno == EAGAIN || errno == ECONNRESET;
        if (display != nullptr || !turnedAway || attempt == kConnectAttempts) {
            return display;
        }
        std::this_thread::sleep_for(kConnectRetryDelay);
    }
}

int64_t monotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// As the Win32 message packs it: low word x, high word y.
uint32_t packedPosition(int x, int y) {
    return static_cast<uint32_t>(static_cast<uint16_t>(x)) | static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16;
}

class XlibWindow final : public EditorWindow {
public:
    XlibWindow(Display* connection, WindowClient& owner)
        : display(connection), client(&owner), offscreen(kOffscreenWidth, kOffscreenHeight),
          presented(kFaceWidth, kFaceHeight) {}

    // A window the host destroyed with its own, or a lost server, takes no frames.
    bool beginFrame() override { return !gone && !connectionLost(display); }

    void blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height, SkinBitmap source,
              int32_t sourceX, int32_t sourceY, RasterOp op) override {
        blitPixels(image(destination), x, y, width, height, image(source), sourceX, sourceY, op);
        if (destination == SkinBitmap::kWindow) {
            due = true;
        }
    }

    // The frame goes to the server once the idle call has run its ticks.
    void endFrame() override {}

    void start() override { schedule.start(monotonicMilliseconds()); }

    // The trap is set only while the connection is used: what the editor does
    // with the events and ticks may call the host, which then finds its own
    // error handlers in place.
    void idle() override {
        XEvent batch[kEventBatch];
        int32_t taken = 0;
        do {
            {
                XErrorTrap trap;
                taken = takeEvents(batch);
            }
            for (int32_t i = 0; i < taken; ++i) {
                route(batch[i]);
            }
        } while (taken == kEventBatch);
        for (int32_t ticks = schedule.due(monotonicMilliseconds()); ticks > 0; --ticks) {
            client->onTimerTick(*this);
        }
        XErrorTrap trap;
        if (due) {
            present();
        }
        if (!connectionLost(display)) {
            XFlush(display);
        }
    }

    // A lost connection's descriptor stays readable for good: no longer one to watch.
    int eventDescriptor() const override { return connectionLost(display) ? -1 : ConnectionNumber(display); }
    void* nativeHandle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    PixelImage& image(SkinBitmap bitmap) {
        switch (bitmap) {
        case SkinBitmap::kFaceSheet:
        case SkinBitmap::kKnobStrip:
        case SkinBitmap::kNeedleStrip:
            return skin[static_cast<int32_t>(bitmap)];
        case SkinBitmap::kOffscreen:
            break;
        case SkinBitmap::kWindow:
            return presented;
        }
        return offscreen;
    }

    Display* display;
    WindowClient* client;
    Window window = None;
    GC context = nullptr;
    Cursor arrow = None;
    XImage* frame = nullptr;
    PixelPacking packing{};
    bool gone = false;

private:
    // Only what is already queued or readable without waiting, a batch at most.
    int32_t takeEvents(XEvent (&batch)[kEventBatch]) {
        int32_t taken = 0;
        while (taken < kEventBatch && !connectionLost(display) && XPending(display) > 0) {
            XNextEvent(display, &batch[taken++]);
        }
        return taken;
    }

    void route(const XEvent& event) {
        switch (event.type) {
        case Expose:
            // The frame shown before goes back at once; a full face follows at the next tick.
            client->requestFullFace();
            due = due || shown;
            break;
        case ButtonPress:
            if (event.xbutton.button == kLeftButton) {
                client->onLeftButtonDown(packedPosition(event.xbutton.x, event.xbutton.y));
            } else if (event.xbutton.button == kRightButton) {
                client->onRightButtonDown(packedPosition(event.xbutton.x, event.xbutton.y));
            }
            break;
        case ButtonRelease:
            // The press's implicit grab kept the pointer's events here, as a capture does.
            if (event.xbutton.button == kLeftButton || event.xbutton.button == kRightButton) {
                client->onButtonUp();
            }
            break;
        case MotionNotify:
            client->onMouseMove(packedPosition(event.xmotion.x, event.xmotion.y));
            break;
        case DestroyNotify:
            gone = gone || event.xdestroywindow.window == window;
            break;
        default:
            break;
        }
    }

    void present() {
        due = false;
        if (!beginFrame()) {
            return;
        }
        packPixels(presented, packing, *frame);
        XPutImage(display, window, context, frame, 0, 0, 0, 0, kFaceWidth, kFaceHeight);
        shown = true;
    }

    PixelImage offscreen;
    PixelImage presented;
    TickSchedule schedule;
    bool due = false;    // a frame not yet copied to the server
    bool shown = false;  // a frame was copied, so an uncovered window can have it back
};

// The host's window and its screen, or false for an id that names no window.
bool parentScreen(Display* display, Window parent, Screen** screen) {
    XWindowAttributes attributes;
    const Status found = XGetWindowAttributes(display, parent, &attributes);
    if (takeProtocolErrors(display) > 0 || found == 0) {
        return false;
    }
    *screen = attributes.screen;
    return true;
}

// Frames are copied in the screen's own true-colour format, in this
// machine's byte order (Xlib converts for a server that differs).
XImage* createFrameImage(Display* display, Visual* visual, int depth) {
    XImage* frame = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, kFaceWidth,
                                 kFaceHeight, kImagePad, 0);
    if (frame == nullptr) {
        return nullptr;
    }
    frame->byte_order = nativeByteOrder();
    frame->data = static_cast<char*>(std::calloc(static_cast<size_t>(frame->bytes_per_line), kFaceHeight));
    if (frame->data == nullptr || XInitImage(frame) == 0) {
        XDestroyImage(frame);
        return nullptr;
    }
    return frame;
}

void setNames(Display* display, Window window) {
    XStoreName(display, window, kWindowTitle);
    char className[sizeof kWindowClassName];
    std::copy(kWindowClassName, kWindowClassName + sizeof kWindowClassName, className);
    XClassHint hint{className, className};
    XSetClassHint(display, window, &hint);
}

// The child window, mapped, with its context, cursor and frame image; false
// with nothing left on the server when any part fails.
bool createChild(XlibWindow& window, Window parent) {
    Display* display = window.display;
    Screen* screen = nullptr;
    if (!parentScreen(display, parent, &screen)) {
        return false;
    }
    Visual* visual = DefaultVisualOfScreen(screen);
    const int depth = DefaultDepthOfScreen(screen);
    if (visual->c_class != TrueColor) {
        return false;
    }
    window.packing = pixelPacking(visual->red_mask, visual->green_mask, visual->blue_mask);
    // Explicit colormap and border: the host's window may have another depth.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // no erase before the frame is copied back
    attributes.border_pixel = 0;
    attributes.colormap = DefaultColormapOfScreen(screen);
    attributes.event_mask = kEventMask;
    window.window = XCreateWindow(display, parent, 0, 0, kFaceWidth, kFaceHeight, 0, depth, InputOutput, visual,
                                  CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    setNames(display, window.window);
    window.arrow = XCreateFontCursor(display, XC_left_ptr);
    XDefineCursor(display, window.window, window.arrow);
    window.context = XCreateGC(display, window.window, 0, nullptr);
    window.frame = createFrameImage(display, visual, depth);
    XMapWindow(display, window.window);
    XSync(display, False);
    return takeProtocolErrors(display) == 0 && window.frame != nullptr && !connectionLost(display);
}

// Everything of the window on the server goes with its connection; the
// client's side is freed here. Runs inside a trap.
void freeWindow(XlibWindow* window) {
    Display* display = window->display;
    if (window->window != None && !window->gone) {
        XDestroyWindow(display, window->window);
    }
    if (window->arrow != None) {
        XFreeCursor(display, window->arrow);
    }
    if (window->context != nullptr) {
        XFreeGC(display, window->context);
    }
    if (window->frame != nullptr) {
        XDestroyImage(window->frame);
    }
    if (!connectionLost(display)) {
        XSync(display, False);
    }
    XCloseDisplay(display);
    releaseConnection(display);
    delete window;
}

class XlibWindowSystem final : public WindowSystem {
public:
    // X has no window classes: each window brings its own connection.
    void registerWindowClass() override {}
    void unregisterWindowClass() override {}

    EditorWindow* createWindow(void* parent, WindowClient& client) override {
        if (parent == nullptr) {
            return nullptr;
        }
        Display* display = openDisplay();
        if (display == nullptr) {
            return nullptr;
        }
        XErrorTrap trap;
        auto* window = new (std::nothrow) XlibWindow(display, client);
        if (window == nullptr || !adoptConnection(display)) {
            delete window;
            XCloseDisplay(display);
            return nullptr;
        }
        if (!createChild(*window, static_cast<Window>(reinterpret_cast<uintptr_t>(parent)))) {
            freeWindow(window);
            return nullptr;
        }
        return window;
    }

    void loadSkin(EditorWindow&) override {
        const int32_t ids[kSkinImages] = {kFaceSheetId, kKnobStripId, kNeedleStripId};
        for (int32_t i = 0; i < kSkinImages; ++i) {
            const EmbeddedResource bitmap = embeddedResource(ids[i]);
            // A bitmap that does not decode stays empty: copies from it touch nothing.
            decodeBmp(bitmap.data, bitmap.size, skin[i]);
        }
    }

    void releaseSkin() override {
        for (PixelImage& image : skin) {
            image = PixelImage();
        }
    }

    void destroyWindow(EditorWindow* closing) override {
        XErrorTrap trap;
        freeWindow(static_cast<XlibWindow*>(closing));
    }
};

}  // namespace

WindowSystem* editorWindowSystem() {
    static XlibWindowSystem system;
    return &system;
}
