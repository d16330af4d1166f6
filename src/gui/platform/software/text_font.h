// Fonts of the software surface: a FreeType face found through fontconfig (a GDI
// font on Windows), set to a pixel size, with rendered glyphs kept in the thread's
// font cache so that controls, which choose their font on every draw, do not match a
// face or render a glyph twice. The cache lives while a frame of the thread or a
// font made from it does.
#pragma once

#include "gui/platform/platform.h"
#include "gui/platform/software/thread_shared.h"

#include <cstdint>
#include <vector>

namespace gui::software {

/// The faces and rendered glyphs of one thread; the text back end defines it.
class FontCache;

/// A share in the calling thread's FontCache, which `platform::holdFontCache` hands
/// out. GUI thread only.
class FontCacheShare final : public platform::FontCacheHold {
  public:
    /// Takes a share, making the thread's cache when it has none.
    FontCacheShare();
    /// Gives the share back; the last one releases the cache.
    ~FontCacheShare() override;
    FontCacheShare(const FontCacheShare&) = delete;
    FontCacheShare& operator=(const FontCacheShare&) = delete;

    /// The thread's cache.
    FontCache* operator->() const;

  private:
    ThreadShared<FontCache> shared_;
};

/// One rendered glyph: 8-bit coverage rows placed relative to the pen position.
struct GlyphImage {
    std::int32_t left = 0;    ///< columns from the pen position to the first column
    std::int32_t top = 0;     ///< rows from the first row down to the baseline
    std::int32_t width = 0;   ///< columns of coverage
    std::int32_t rows = 0;    ///< rows of coverage
    std::int32_t advance = 0; ///< pen movement to the next glyph, in pixels
    std::vector<std::uint8_t> coverage;
};

/// A face at one pixel size with its style. Made by `platform::createFont`.
class TextFont final : public platform::Font {
  public:
    /// Resolves `request` to an installed face; without one the font draws nothing.
    explicit TextFont(const platform::FontRequest& request);

    /// True when a face was found.
    bool valid() const { return face_ != nullptr; }
    /// The glyph of the character byte `ch` (Windows-1252 text); GUI thread only.
    const GlyphImage& glyph(unsigned char ch) const;
    /// Pixels from the top of a text cell to the baseline.
    std::int32_t ascent() const { return ascent_; }
    /// Height of a text cell: ascent plus descent.
    std::int32_t cellHeight() const { return cellHeight_; }
    /// Rows below the baseline to the underline's first row; 0 when not underlined.
    std::int32_t underlineOffset() const { return underlineOffset_; }
    /// Rows of the underline; 0 when not underlined.
    std::int32_t underlineThickness() const { return underlineThickness_; }

  private:
    void readMetrics(bool underline);

    FontCacheShare cache_; // keeps face_ and the glyphs while the font lives
    void* face_ = nullptr; // FT_Face or GdiFace, owned by the cache
    std::int32_t height_ = 0;
    bool emboldened_ = false;
    bool slanted_ = false;
    bool symbolEncoded_ = false;
    std::int32_t ascent_ = 0;
    std::int32_t cellHeight_ = 0;
    std::int32_t underlineOffset_ = 0;
    std::int32_t underlineThickness_ = 0;
};

} // namespace gui::software
