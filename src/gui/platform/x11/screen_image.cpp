#include "gui/platform/x11/screen_image.h"

#include "gui/platform/x11/error_trap.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstdlib>

namespace gui::x11 {
namespace {

// One 8-bit channel scaled into the bits of `mask`.
unsigned long channel(std::uint8_t value, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long range = mask >> shift;
    return ((value * range + 127) / 255) << shift;
}

} // namespace

std::mutex& extensionLock() {
    static std::mutex lock;
    return lock;
}

ScreenImage::ScreenImage(Display* display, const XVisualInfo& visual, std::int32_t width,
                         std::int32_t height)
    : display_(display), redMask_(visual.red_mask), greenMask_(visual.green_mask),
      blueMask_(visual.blue_mask) {
    if (!makeShared(visual, width, height)) makePlain(visual, width, height);
}

ScreenImage::~ScreenImage() {
    if (image_ == nullptr) return;
    if (shared_) {
        {
            std::lock_guard lock(extensionLock());
            XShmDetach(display_, &segment_);
        }
        XSync(display_, False);
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    XDestroyImage(image_);
}

bool ScreenImage::makeShared(const XVisualInfo& visual, std::int32_t width, std::int32_t height) {
    {
        std::lock_guard lock(extensionLock());
        if (!XShmQueryExtension(display_)) return false;
        image_ = XShmCreateImage(display_, visual.visual, static_cast<unsigned>(visual.depth),
                                 ZPixmap, nullptr, &segment_, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height));
    }
    if (image_ == nullptr) return false;
    const auto bytes = static_cast<std::size_t>(image_->bytes_per_line) * image_->height;
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* memory = segment_.shmid >= 0 ? shmat(segment_.shmid, nullptr, 0) : nullptr;
    bool attached = false;
    if (memory != nullptr && memory != reinterpret_cast<void*>(-1)) {
        segment_.shmaddr = image_->data = static_cast<char*>(memory);
        segment_.readOnly = False;
        // A server on another machine cannot reach our memory and refuses the attach.
        ErrorTrap trap(display_);
        {
            std::lock_guard lock(extensionLock());
            attached = XShmAttach(display_, &segment_);
        }
        attached = attached && !trap.failed();
        if (!attached) shmdt(memory);
    }
    // Marked for removal now, the segment goes away with its last user, even after a crash.
    if (segment_.shmid >= 0) shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (!attached) {
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
        return false;
    }
    shared_ = true;
    return true;
}

void ScreenImage::makePlain(const XVisualInfo& visual, std::int32_t width, std::int32_t height) {
    image_ =
        XCreateImage(display_, visual.visual, static_cast<unsigned>(visual.depth), ZPixmap, 0,
                     nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image_ == nullptr) return;
    // XDestroyImage frees the pixels with free().
    image_->data = static_cast<char*>(
        std::calloc(static_cast<std::size_t>(image_->bytes_per_line), image_->height));
    if (image_->data == nullptr) {
        XDestroyImage(image_);
        image_ = nullptr;
    }
}

void ScreenImage::convert(const software::PixelSurface& pixels, const Rect& area) {
    const std::uint8_t* rgb = pixels.rgb().data();
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const std::uint8_t* p =
            rgb + (static_cast<std::size_t>(y) * pixels.width() + area.left) * 3;
        for (std::int32_t x = area.left; x < area.right; ++x, p += 3) {
            XPutPixel(image_, x, y,
                      channel(p[0], redMask_) | channel(p[1], greenMask_) |
                          channel(p[2], blueMask_));
        }
    }
}

void ScreenImage::put(::Window window, GC gc, const software::PixelSurface& pixels,
                      const Rect& area) {
    if (image_ == nullptr || area.width() <= 0 || area.height() <= 0) return;
    convert(pixels, area);
    const auto w = static_cast<unsigned>(area.width());
    const auto h = static_cast<unsigned>(area.height());
    if (shared_) {
        {
            std::lock_guard lock(extensionLock());
            XShmPutImage(display_, window, gc, image_, area.left, area.top, area.left, area.top, w,
                         h, False);
        }
        // The server reads the memory later: wait, so the next conversion cannot race it.
        XSync(display_, False);
    } else {
        XPutImage(display_, window, gc, image_, area.left, area.top, area.left, area.top, w, h);
    }
}

} // namespace gui::x11
