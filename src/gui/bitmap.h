// Pictures loaded from the binary's embedded resources, shared by reference count
// between the frame and the controls that show them.
#pragma once

#include "gui/geometry.h"
#include "gui/scale.h"

#include <cstdint>
#include <memory>

namespace gui {

class DrawContext;

namespace platform {
class Surface;
}

/// A picture loaded once by resource id and drawn plainly or transparently. Deletes
/// itself when the last holder forgets it. GUI thread only.
class Bitmap {
  public:
    /// Takes the size of resource `resourceId` from its header; the pixels are
    /// decoded at the first draw, drawn for the scale of the context drawn on. The count starts at
    /// 1, held by the creator. A resource that does not load gives a 0 × 0 bitmap that draws
    /// nothing.
    explicit Bitmap(std::int32_t resourceId);
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    /// Adds a holder.
    void remember() { ++refCount_; }
    /// Removes a holder and deletes the bitmap when none is left; does nothing when
    /// the count is already 0 or below.
    void forget();
    /// Number of holders.
    std::int32_t getRefCount() const { return refCount_; }

    /// Copies `dest`'s width × height pixels from `source` of the picture to `dest`
    /// of `ctx` (translated by its offset).
    void draw(DrawContext& ctx, const Rect& dest, const Point& source = {});
    /// Like `draw`, but pixels equal to transparentColor (exactly, in red, green and
    /// blue) leave the destination as it was.
    void drawTransparent(DrawContext& ctx, const Rect& dest, const Point& source = {});

    /// Width in editor pixels (those of the scale-1 picture); 0 when it did not load.
    std::int32_t width = 0;
    /// Height in editor pixels; 0 when the resource did not load.
    std::int32_t height = 0;
    /// The colour drawTransparent does not copy: white.
    Color transparentColor{255, 255, 255, 0};

  private:
    ~Bitmap();
    /// The picture for `scale`, decoded now if this is its first draw at that scale;
    /// null when it does not load.
    const platform::Surface* image(Scale scale);

    std::int32_t resourceId_;
    std::int32_t refCount_ = 1;
    bool decoded_ = false;
    Scale decodedScale_;
    std::unique_ptr<platform::Surface> image_;
};

} // namespace gui
