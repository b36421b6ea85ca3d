// The editor window on Win32: window class "QXclass", the child window and
// its procedure, the 50 ms timer, the device contexts, and the skin bitmaps
// that every open editor window of the process shares.
#include <windows.h>

#include <new>

#include "editor/skin_layout.h"
#include "editor/window_system.h"
#include "host/module_state.h"

namespace {

constexpr char kWindowClassName[] = "QXclass";
constexpr char kWindowTitle[] = "Quillo_Limiter";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerInterval = 50;

HINSTANCE instance() {
    return static_cast<HINSTANCE>(moduleHandle);
}

// Loaded by the first open window, released by the last close.
struct SharedSkin {
    HBITMAP faceSheet = nullptr;
    HBITMAP knobStrip = nullptr;
    HBITMAP needleStrip = nullptr;
    HDC faceDc = nullptr;
    HDC knobDc = nullptr;
    HDC needleDc = nullptr;
};
SharedSkin skin;

DWORD rasterCode(RasterOp op) {
    switch (op) {
    case RasterOp::kCopy:
        return SRCCOPY;
    case RasterOp::kAnd:
        return SRCAND;
    case RasterOp::kPaint:
        return SRCPAINT;
    case RasterOp::kBlackness:
        break;
    }
    return BLACKNESS;
}

class GdiWindow final : public EditorWindow {
public:
    GdiWindow(HWND handle, WindowClient& owner) : window(handle), client(&owner) {}

    bool beginFrame() override {
        frameDc = GetDC(window);
        return frameDc != nullptr;
    }

    void blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height, SkinBitmap source,
              int32_t sourceX, int32_t sourceY, RasterOp op) override {
        HDC from = op == RasterOp::kBlackness ? nullptr : deviceOf(source);
        BitBlt(deviceOf(destination), x, y, width, height, from, sourceX, sourceY, rasterCode(op));
    }

    void endFrame() override {
        ReleaseDC(window, frameDc);
        frameDc = nullptr;
    }

    void* nativeHandle() const override { return window; }

    void start() override {
        timerId = SetTimer(window, kTimerId, kTimerInterval, nullptr);
        savedBitmap = SelectObject(memoryDc, offscreenBitmap);
    }

    HDC deviceOf(SkinBitmap bitmap) const {
        switch (bitmap) {
        case SkinBitmap::kFaceSheet:
            return skin.faceDc;
        case SkinBitmap::kKnobStrip:
            return skin.knobDc;
        case SkinBitmap::kNeedleStrip:
            return skin.needleDc;
        case SkinBitmap::kOffscreen:
            return memoryDc;
        case SkinBitmap::kWindow:
            break;
        }
        return frameDc;
    }

    HWND window;
    WindowClient* client;
    UINT_PTR timerId = 0;
    HGDIOBJ savedBitmap = nullptr;
    HBITMAP offscreenBitmap = nullptr;
    HDC windowDc = nullptr;
    HDC memoryDc = nullptr;
    HDC frameDc = nullptr;
};

uint32_t packedPosition(LPARAM lParam) {
    return static_cast<uint32_t>(lParam);
}

// Routes the window's messages to the editor attached to it. Messages that
// arrive before it is attached (during creation) or after it is detached only
// reach the default procedure.
LRESULT CALLBACK editorWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* attached = reinterpret_cast<GdiWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (attached == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    WindowClient& client = *attached->client;
    switch (message) {
    case WM_PAINT:
        client.requestFullFace();
        break;
    case WM_ERASEBKGND:
        // The next tick paints the whole face; erasing first would flicker.
        client.requestFullFace();
        return 1;
    case WM_TIMER:
        if (wParam == attached->timerId) {
            client.onTimerTick(*attached);
        }
        break;
    case WM_MOUSEMOVE:
        client.onMouseMove(packedPosition(lParam));
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        break;
    case WM_LBUTTONDOWN:
        client.onLeftButtonDown(packedPosition(lParam));
        SetCapture(hwnd);
        break;
    case WM_RBUTTONDOWN:
        client.onRightButtonDown(packedPosition(lParam));
        SetCapture(hwnd);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        client.onButtonUp();
        ReleaseCapture();
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HBITMAP loadBitmap(int32_t id) {
    return static_cast<HBITMAP>(LoadImageA(instance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

class GdiWindowSystem final : public WindowSystem {
public:
    void registerWindowClass() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = editorWindowProc;
        windowClass.hInstance = instance();
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = kWindowClassName;
        RegisterClassA(&windowClass);
    }

    void unregisterWindowClass() override { UnregisterClassA(kWindowClassName, instance()); }

    EditorWindow* createWindow(void* parent, WindowClient& client) override {
        HWND handle = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, 0, 0, kFaceWidth,
                                      kFaceHeight, static_cast<HWND>(parent), nullptr, instance(), nullptr);
        if (handle == nullptr) {
            return nullptr;
        }
        auto* window = new (std::nothrow) GdiWindow(handle, client);
        if (window == nullptr) {
            DestroyWindow(handle);
            return nullptr;
        }
        SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        window->windowDc = GetDC(handle);
        window->memoryDc = CreateCompatibleDC(window->windowDc);
        window->offscreenBitmap = CreateCompatibleBitmap(window->windowDc, kOffscreenWidth, kOffscreenHeight);
        return window;
    }

    void loadSkin(EditorWindow& first) override {
        HDC reference = static_cast<GdiWindow&>(first).windowDc;
        skin.faceSheet = loadBitmap(kFaceSheetId);
        skin.needleStrip = loadBitmap(kNeedleStripId);
        skin.knobStrip = loadBitmap(kKnobStripId);
        skin.faceDc = CreateCompatibleDC(reference);
        skin.knobDc = CreateCompatibleDC(reference);
        skin.needleDc = CreateCompatibleDC(reference);
        SelectObject(skin.faceDc, skin.faceSheet);
        SelectObject(skin.knobDc, skin.knobStrip);
        SelectObject(skin.needleDc, skin.needleStrip);
    }

    void releaseSkin() override {
        DeleteDC(skin.needleDc);
        DeleteObject(skin.needleStrip);
        DeleteDC(skin.knobDc);
        DeleteObject(skin.knobStrip);
        DeleteDC(skin.faceDc);
        DeleteObject(skin.faceSheet);
        skin = SharedSkin{};
    }

    void destroyWindow(EditorWindow* closing) override {
        auto* window = static_cast<GdiWindow*>(closing);
        KillTimer(window->window, window->timerId);
        // Detached first: nothing the window still receives reaches the editor.
        SetWindowLongPtrA(window->window, GWLP_USERDATA, 0);
        ReleaseDC(window->window, window->windowDc);
        DestroyWindow(window->window);
        SelectObject(window->memoryDc, window->savedBitmap);
        DeleteDC(window->memoryDc);
        DeleteObject(window->offscreenBitmap);
        delete window;
    }
};

}  // namespace

WindowSystem* editorWindowSystem() {
    static GdiWindowSystem system;
    return &system;
}
