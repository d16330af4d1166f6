// The platform boundary: the few things the toolkit asks of the window system and
// the font library. Every platform folder under platform/ (picked by the build
// through TESK_GUI_PLATFORM) defines exactly what is declared here, and only those
// folders include window-system or font-library headers. Everything here is used
// on the GUI thread only, unless its comment says otherwise.
#pragma once

#include "gui/geometry.h"
#include "gui/scale.h"

#include <cstdint>
#include <memory>

namespace gui {
class Frame;
}

namespace gui::platform {

// ---- Pixel surface ---------------------------------------------------------------

/// What `createFont` is asked for; the toolkit's font table fills it in.
struct FontRequest {
    const char* face = "Arial"; ///< family name as the toolkit knows it
    std::int32_t height = 12;   ///< glyph (em) height in pixels, not the cell height
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool decorative = false; ///< a decorative (symbol) family rather than a sans-serif one
};

/// A font made for one request; a surface draws text with it.
class Font {
  public:
    virtual ~Font() = default;
};

/// Makes the installed font closest to `request`; never null (a font without a face
/// draws no text).
std::unique_ptr<Font> createFont(const FontRequest& request);

/// Keeps the fonts and glyphs the calling thread made while it lives: a frame holds
/// one, so that text drawn on every paint reuses them, and when the last hold and the
/// last font of the thread are gone, so are they, and nothing of the module's is left
/// behind on the thread.
class FontCacheHold {
  public:
    virtual ~FontCacheHold() = default;
};

/// A hold on the calling thread's fonts; destroy it on the same thread.
std::unique_ptr<FontCacheHold> holdFontCache();

/// Horizontal placement of a single line of text in its rectangle.
enum class TextAlign { left, center, right };

/// How lines are drawn: one pixel a step along the line, `width` pixels across it.
struct Pen {
    Color color;
    bool dotted = false;
    std::int32_t width = 1;     ///< pixels across the line, right of or below its path
    std::int32_t dotLength = 3; ///< pixels of each dot, and of each gap, of a dotted pen
};

/// An RGB drawing surface (a window's pixels or a memory surface). Every operation
/// clips to the surface: no coordinate, however large or negative, writes outside it.
class Surface {
  public:
    virtual ~Surface() = default;
    /// Width in pixels.
    virtual std::int32_t width() const = 0;
    /// Height in pixels.
    virtual std::int32_t height() const = 0;
    /// Draws a line from `from` to `to`, the end point excluded, `pen.width` pixels
    /// thick across its longer axis. `phase` is the dot pattern position, carried from
    /// one connected line to the next.
    virtual void drawLine(Point from, Point to, const Pen& pen, std::int64_t& phase) = 0;
    /// Fills columns left .. right − 1 and rows top .. bottom − 1 with `color`.
    virtual void fill(const Rect& area, Color color) = 0;
    /// Draws `text` on one line, vertically centred in `box` and clipped to it
    /// (right and bottom edges excluded); with `cells` the text cells are filled first.
    virtual void drawText(const char* text, const Rect& box, TextAlign align, const Font& font,
                          Color color, const Color* cells) = 0;
    /// Copies `dest`'s width × height pixels of `source`, starting at `from`, to
    /// `dest`'s top-left; pixels equal to `*key` (red, green, blue) are skipped when
    /// `key` is given. Pixels outside either surface are left alone.
    virtual void copy(const Surface& source, const Rect& dest, Point from, const Color* key) = 0;
};

/// Makes a memory surface of width × height, filled from `rgb` (rows of packed
/// red, green, blue bytes) when given, else black. Sizes below 0 count as 0.
std::unique_ptr<Surface> createSurface(std::int32_t width, std::int32_t height,
                                       const std::uint8_t* rgb = nullptr);

/// The picture the module holds under resource `id`, drawn for `scale`, as a surface;
/// where the module has no picture for that scale, its scale-1 picture enlarged pixel
/// by pixel. Null when it holds none or it cannot be read.
std::unique_ptr<Surface> loadResourceImage(std::int32_t id, Scale scale = {});

/// A picture's width and height in pixels.
struct ImageSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

/// The size of the picture under resource `id`, read from its header without
/// decoding a pixel; 0 × 0 when the module holds none or its header cannot be read.
ImageSize resourceImageSize(std::int32_t id);

// ---- Child window --------------------------------------------------------------

/// The desktop's scale factor for a window to be made inside `parent` (null: the
/// desktop's in general): the window system's own setting (X11: the Xft.dpi
/// resource over 96; Win32: the window's DPI over 96 where the host is DPI aware, 1
/// where the system enlarges the host's windows itself); 1 when nothing says more.
double desktopScale(void* parent);

/// One event of a frame's window, translated once, by value, into the toolkit's terms.
struct WindowEvent {
    enum class Kind { paint, buttonDown, destroy, drop, idle };
    Kind kind = Kind::paint;
    Rect area;                  ///< paint: the area to repaint
    Surface* surface = nullptr; ///< paint: the surface to paint on
    Point where;                ///< buttonDown: the point in window pixels
    ButtonState buttons = 0;    ///< buttonDown: buttons and modifiers held with the press
    Point screen;               ///< buttonDown: the press's screen position
    std::uint32_t time = 0;     ///< buttonDown: the press's time, on the tickCount clock
    void** items = nullptr;     ///< drop: file paths (kind 0) or one text (kind 1)
    std::int32_t count = 0;     ///< drop: number of paths, or the text's size in bytes
    std::int32_t dropKind = 0;  ///< drop: 0 file paths, 1 text
};

/// A child window inside the host's window, holding a pointer back to its frame.
/// Events go to the frame's `onWindowEvent` while the pointer is set.
class Window {
  public:
    /// Makes a visible child window of `parent` with `size`'s width and height at
    /// (0, 0), reporting to `frame`; null without a parent or when it cannot be made.
    static std::unique_ptr<Window> create(void* parent, const Rect& size, Frame* frame);
    /// Destroys the window if the host has not already done so.
    virtual ~Window() = default;
    /// Stops all further events from reaching the frame.
    void detachFrame() { frame_ = nullptr; }
    /// Screen position of the window's top-left corner now.
    virtual Point origin() const = 0;
    /// The window's surface for drawing outside a paint event; give it back with
    /// `releaseSurface` when the event is handled.
    virtual Surface& acquireSurface() = 0;
    /// Puts what was drawn since `acquireSurface` on the screen.
    virtual void releaseSurface() = 0;
    /// Puts what was drawn on the window's surface since it was last shown on the
    /// screen now, and only that area, while a surface may still be held: a control
    /// tracking the mouse draws in the middle of its event. Nothing where the surface
    /// is the screen.
    virtual void flush() {}
    /// Handles the events the window system has queued for the window; the frame calls
    /// it at every idle. Nothing to do where events arrive by themselves.
    virtual void dispatchEvents() {}
    /// The file descriptor the window's events arrive on, for a host's run loop to
    /// watch; -1 where events arrive by themselves.
    virtual int eventDescriptor() const { return -1; }
    /// Starts a timer of the window's own that delivers an idle event about every
    /// `periodMs` milliseconds, for hosts that give no timer; it stops with the
    /// window. False where the window system has none for it (the host's loop drives
    /// the editor there).
    virtual bool startIdleTimer(std::int32_t /*periodMs*/) { return false; }

  protected:
    explicit Window(Frame* frame) : frame_(frame) {}
    /// Hands `event` to the frame, if one is attached; returns the frame's answer.
    bool deliver(const WindowEvent& event);
    /// Tells the frame its window is gone.
    void deliverDestroy();
    /// Hands the frame an idle event of the window's own timer.
    void deliverIdle();
    /// Hands dropped items to the frame (kind 0 file paths, 1 one text); its answer.
    bool deliverDrop(void** items, std::int32_t count, std::int32_t kind);

  private:
    Frame* frame_;
};

// ---- Input queries ---------------------------------------------------------------
// While a window delivers a press, the back end answers the button and cursor
// queries from the press and the pointer events queued after it, in their order, so
// that a click released before the control first asks is still seen pressed once,
// then released. With nothing of the window queued the answers are the window
// system's state at the moment of asking.

/// The buttons and modifier keys held: during a press, as the queued events give them.
ButtonState readButtons();
/// The cursor's screen position: during a press, as the queued events give it.
Point readCursor();
/// Milliseconds since an arbitrary start, wrapping at 2^32; the clock of press times.
std::uint32_t tickCount();
/// The user's double-click time in milliseconds.
std::int32_t doubleClickTime();
/// Sleeps for about `milliseconds`.
void sleepMs(std::int32_t milliseconds);
/// Takes at most one pending paint of this thread's windows and delivers it;
/// true when there was one.
bool dispatchPendingPaint();

// ---- Single-line edit box -----------------------------------------------------

/// Told when the user ends an edit: Return pressed or keyboard focus lost. The edit
/// box may be destroyed from inside this call.
class EditBoxListener {
  public:
    virtual ~EditBoxListener() = default;
    /// The edit has ended; read the text and close the box.
    virtual void editEnded() = 0;
};

/// How an edit box looks: placed over `area` of its window.
struct EditBoxStyle {
    Rect area;
    TextAlign align = TextAlign::center;
    FontRequest font;
    Color textColor;
    Color backColor;
};

/// A native single-line edit box over part of a frame's window.
class EditBox {
  public:
    /// The longest text an edit box holds.
    static constexpr std::int32_t kMaxText = 255;
    /// Opens an edit box on `window` showing `text` (cut to kMaxText), all of it
    /// selected, with the keyboard focus; null when it cannot be made.
    static std::unique_ptr<EditBox> create(Window& window, const EditBoxStyle& style,
                                           const char* text, EditBoxListener& listener);
    /// Closes the box.
    virtual ~EditBox() = default;
    /// Copies the current text into `out`: at most `capacity` − 1 characters and a
    /// terminator.
    virtual void getText(char* out, std::int32_t capacity) const = 0;
};

} // namespace gui::platform
