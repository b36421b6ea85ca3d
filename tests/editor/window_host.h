// A host's side of an editor window on Windows: a parent window to embed it
// in, a message pump that lets its timer run, and a copy of its pixels.
#pragma once

#include <windows.h>

#include <cstdint>

#include "editor/bmp_file.h"
#include "editor/skin_layout.h"

class ParentWindow {
public:
    ParentWindow(int32_t x, int32_t y) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);  // a second parent finds it registered
        handle = CreateWindowExA(0, kClassName, "editor host", WS_POPUP | WS_VISIBLE, x, y, kFaceWidth + kBorder,
                                 kFaceHeight + kBorder, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~ParentWindow() { DestroyWindow(handle); }
    ParentWindow(const ParentWindow&) = delete;
    ParentWindow& operator=(const ParentWindow&) = delete;

    // The editor's child window inside this parent, or null.
    HWND editor() const { return FindWindowExA(handle, nullptr, "QXclass", nullptr); }

    HWND handle;

private:
    static constexpr const char* kClassName = "QuilloEditorHost";
    static constexpr int32_t kBorder = 20;
};

// Dispatches messages for about the given time, as a host's loop would.
inline void pumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(2);
    } while (GetTickCount() - start < milliseconds);
}

inline LPARAM pointAt(int32_t x, int32_t y) {
    return MAKELPARAM(x, y);
}

// The window's pixels as it shows them, read through its device context.
inline PixelImage captureWindow(HWND window) {
    PixelImage image(kFaceWidth, kFaceHeight);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kFaceWidth;
    info.bmiHeader.biHeight = -kFaceHeight;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kSkinBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ saved = SelectObject(memoryDc, section);
    BitBlt(memoryDc, 0, 0, kFaceWidth, kFaceHeight, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    const int32_t stride = (kFaceWidth * kBytesPerPixel + 3) / 4 * 4;
    for (int32_t y = 0; y < kFaceHeight; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * stride;
        std::copy(row, row + kFaceWidth * kBytesPerPixel, image.at(0, y));
    }
    SelectObject(memoryDc, saved);
    DeleteObject(section);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return image;
}
