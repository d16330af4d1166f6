// Surfaces of the Win32 back end: the shared software surface for every drawing rule,
// pictures from the module's BITMAP resources, and the blit that shows pixels.
#include "gui/platform/software/embedded_resources.h"
#include "gui/platform/software/text_font.h"
#include "gui/platform/win32/win32.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace gui::win32 {
namespace {

/// A 32-bit, top-down device-independent bitmap header of width × height.
BITMAPINFO topDownHeader(std::int32_t width, std::int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

/// The bitmap's pixels as packed RGB rows; empty when they cannot be read.
std::vector<std::uint8_t> readRgb(HBITMAP bitmap, std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) * height * 4);
    BITMAPINFO info = topDownHeader(width, height);
    HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), bgrx.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return {};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0, o = 0; o < rgb.size(); i += 4, o += 3) {
        rgb[o] = bgrx[i + 2];
        rgb[o + 1] = bgrx[i + 1];
        rgb[o + 2] = bgrx[i];
    }
    return rgb;
}

} // namespace

void showPixels(HDC dc, const software::PixelSurface& pixels, const Rect& area) {
    const LONG left = std::max(area.left, 0);
    const LONG top = std::max(area.top, 0);
    const LONG right = std::min(area.right, pixels.width());
    const LONG bottom = std::min(area.bottom, pixels.height());
    if (left >= right || top >= bottom) return;
    const LONG width = right - left;
    const LONG height = bottom - top;
    // The screen wants blue, green, red and a spare byte; only the area is converted.
    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(width) * height * 4);
    const std::uint8_t* rgb = pixels.rgb().data();
    for (LONG y = 0; y < height; ++y) {
        const std::uint8_t* in = rgb + ((top + y) * std::size_t(pixels.width()) + left) * 3;
        std::uint8_t* out = bgrx.data() + std::size_t(y) * width * 4;
        for (LONG x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    const BITMAPINFO info = topDownHeader(width, height);
    SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), bgrx.data(), &info, DIB_RGB_COLORS);
}

} // namespace gui::win32

namespace gui::platform {

// Pictures are BITMAP resources of the module (resources/windows_artwork.cmake), read
// once into the software surface so that every copy follows the same pixel rules.
// The module carries every picture at every scale.
std::unique_ptr<Surface> loadResourceImage(std::int32_t id, Scale scale) {
    const std::int32_t scaledId = scaledResourceId(id, scale);
    auto* bitmap =
        static_cast<HBITMAP>(LoadImageA(win32::moduleInstance(), MAKEINTRESOURCEA(scaledId),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr) return nullptr;
    BITMAP header{};
    std::vector<std::uint8_t> rgb;
    if (GetObjectA(bitmap, sizeof header, &header) == sizeof header && header.bmWidth > 0 &&
        header.bmHeight > 0) {
        rgb = win32::readRgb(bitmap, header.bmWidth, header.bmHeight);
    }
    DeleteObject(bitmap);
    if (rgb.empty()) return nullptr;
    return createSurface(header.bmWidth, header.bmHeight, rgb.data());
}

// A BITMAP resource is the file without its file header: it starts with the
// information header, whose height is negative for rows stored top-down.
ImageSize resourceImageSize(std::int32_t id) {
    HMODULE module = win32::moduleInstance();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2)); // RT_BITMAP
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return {};
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof header || header.biWidth <= 0 || header.biHeight == 0) return {};
    return {static_cast<std::int32_t>(header.biWidth),
            static_cast<std::int32_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight)};
}

} // namespace gui::platform
