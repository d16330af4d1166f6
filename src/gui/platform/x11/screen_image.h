// The picture between our pixel surface and the window: the surface's RGB rows are
// converted into the server's pixel format and sent, through shared memory (MIT-SHM)
// where the server offers it, else as plain image requests.
#pragma once

#include "gui/geometry.h"
#include "gui/platform/software/pixel_surface.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <mutex>

namespace gui::x11 {

/// libXext keeps one list of displays per extension, which the libXext of
/// Debian 12 reads and changes without a lock of its own: every shared-memory
/// call (which looks its display up there) and every closing of one of our
/// connections (which takes it out) holds this lock, so that editors on several
/// threads never meet in that list. Any thread.
std::mutex& extensionLock();

/// An image of the window's size in the window's visual. GUI thread only.
class ScreenImage {
  public:
    /// Makes the image for `visual` (24 or 32 bits, true colour) on `display`; shared
    /// memory is tried first. `valid` tells whether either kind could be made.
    ScreenImage(Display* display, const XVisualInfo& visual, std::int32_t width,
                std::int32_t height);
    /// Detaches and frees the image.
    ~ScreenImage();
    ScreenImage(const ScreenImage&) = delete;
    ScreenImage& operator=(const ScreenImage&) = delete;

    /// True when the image exists.
    bool valid() const { return image_ != nullptr; }
    /// True when the image travels through shared memory.
    bool shared() const { return shared_; }
    /// Converts `area` of `pixels` (the same size as the image) and puts it on `window`
    /// at the same place.
    void put(::Window window, GC gc, const software::PixelSurface& pixels, const Rect& area);

  private:
    bool makeShared(const XVisualInfo& visual, std::int32_t width, std::int32_t height);
    void makePlain(const XVisualInfo& visual, std::int32_t width, std::int32_t height);
    void convert(const software::PixelSurface& pixels, const Rect& area);

    Display* display_;
    XImage* image_ = nullptr;
    XShmSegmentInfo segment_{};
    bool shared_ = false;
    unsigned long redMask_;
    unsigned long greenMask_;
    unsigned long blueMask_;
};

} // namespace gui::x11
