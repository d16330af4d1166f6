// Fonts of the software surface on Windows: GDI makes the font and renders each
// glyph as 8-bit coverage (there is no FreeType here), which the software surface
// blends like any other glyph. Fonts and glyphs are kept in the thread's font cache,
// as controls choose their font on every draw.
#include "gui/platform/software/text_font.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace gui::software {
namespace {

// GDI's gray glyph bitmaps have 65 levels, 0 to 64.
constexpr int kGrayLevels = 64;
// Pitch and family of the toolkit's fonts: variable pitch with a sans-serif family,
// or a decorative family for the symbol font.
constexpr BYTE kSansFamily = VARIABLE_PITCH | FF_SWISS;
constexpr BYTE kDecorativeFamily = FF_DECORATIVE;

/// One GDI font and the glyphs rendered from it so far.
struct GdiFace {
    HFONT font = nullptr;
    std::array<std::unique_ptr<GlyphImage>, 256> glyphs;
};

using FaceKey = std::tuple<std::string, std::int32_t, bool, bool, bool, bool>;

} // namespace

/// The fonts made on this thread and a memory device context to measure them on.
class FontCache {
  public:
    FontCache() = default;
    ~FontCache() {
        if (dc_ != nullptr) DeleteDC(dc_);
        for (auto& entry : faces_)
            DeleteObject(entry.second->font);
    }
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    /// The face for `request`, made on first use; null when GDI makes none.
    GdiFace* find(const platform::FontRequest& request) {
        FaceKey key{request.face != nullptr ? request.face : "",
                    request.height,
                    request.bold,
                    request.italic,
                    request.underline,
                    request.decorative};
        for (auto& entry : faces_) {
            if (entry.first == key) return entry.second.get();
        }
        HFONT font = makeFont(request);
        if (font == nullptr) return nullptr;
        auto face = std::make_unique<GdiFace>();
        face->font = font;
        faces_.emplace_back(std::move(key), std::move(face));
        return faces_.back().second.get();
    }

    /// A device context with `face` selected; null when none can be made.
    HDC select(const GdiFace& face) {
        if (dc_ == nullptr) dc_ = CreateCompatibleDC(nullptr);
        if (dc_ != nullptr) SelectObject(dc_, face.font);
        return dc_;
    }

  private:
    static HFONT makeFont(const platform::FontRequest& request) {
        LOGFONTA font{};
        // A negative height asks for the glyph (em) height rather than the cell height.
        font.lfHeight = -std::max(1, request.height);
        font.lfWeight = request.bold ? FW_BOLD : FW_NORMAL;
        font.lfItalic = request.italic ? TRUE : FALSE;
        font.lfUnderline = request.underline ? TRUE : FALSE;
        font.lfCharSet = ANSI_CHARSET;
        font.lfOutPrecision = OUT_STRING_PRECIS;
        font.lfClipPrecision = CLIP_STROKE_PRECIS;
        font.lfQuality = DEFAULT_QUALITY;
        font.lfPitchAndFamily = request.decorative ? kDecorativeFamily : kSansFamily;
        if (request.face != nullptr) std::strncpy(font.lfFaceName, request.face, LF_FACESIZE - 1);
        return CreateFontIndirectA(&font);
    }

    HDC dc_ = nullptr;
    std::vector<std::pair<FaceKey, std::unique_ptr<GdiFace>>> faces_;
};

namespace {

/// Renders the character byte `ch` of `face` as coverage rows.
GlyphImage render(HDC dc, unsigned char ch) {
    GlyphImage image;
    GLYPHMETRICS metrics{};
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const DWORD size = GetGlyphOutlineA(dc, ch, GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) return image;
    image.advance = metrics.gmCellIncX;
    if (size == 0) return image; // a blank glyph such as the space
    std::vector<std::uint8_t> gray(size);
    if (GetGlyphOutlineA(dc, ch, GGO_GRAY8_BITMAP, &metrics, size, gray.data(), &identity) ==
        GDI_ERROR) {
        return image;
    }
    image.left = metrics.gmptGlyphOrigin.x;
    image.top = metrics.gmptGlyphOrigin.y;
    image.width = static_cast<std::int32_t>(metrics.gmBlackBoxX);
    image.rows = static_cast<std::int32_t>(metrics.gmBlackBoxY);
    // Rows of the gray bitmap are padded to four bytes.
    const std::size_t pitch = (metrics.gmBlackBoxX + 3) & ~3u;
    image.coverage.resize(static_cast<std::size_t>(image.width) * image.rows);
    for (std::int32_t row = 0; row < image.rows; ++row) {
        for (std::int32_t col = 0; col < image.width; ++col) {
            const unsigned level = std::min<unsigned>(gray[row * pitch + col], kGrayLevels);
            image.coverage[static_cast<std::size_t>(row) * image.width + col] =
                static_cast<std::uint8_t>((level * 255 + kGrayLevels / 2) / kGrayLevels);
        }
    }
    return image;
}

} // namespace

FontCacheShare::FontCacheShare() = default;

FontCacheShare::~FontCacheShare() = default;

FontCache* FontCacheShare::operator->() const {
    return &*shared_;
}

TextFont::TextFont(const platform::FontRequest& request)
    : face_(cache_->find(request)), height_(request.height) {
    if (face_ != nullptr) readMetrics(request.underline);
}

void TextFont::readMetrics(bool underline) {
    HDC dc = cache_->select(*static_cast<GdiFace*>(face_));
    TEXTMETRICA text{};
    if (dc == nullptr || GetTextMetricsA(dc, &text) == 0) {
        face_ = nullptr;
        return;
    }
    ascent_ = text.tmAscent;
    cellHeight_ = text.tmHeight;
    if (!underline) return;
    OUTLINETEXTMETRICA outline{};
    outline.otmSize = sizeof outline;
    const bool measured = GetOutlineTextMetricsA(dc, sizeof outline, &outline) != 0;
    underlineOffset_ = measured ? std::max(1, -outline.otmsUnderscorePosition) : 1;
    underlineThickness_ = measured ? std::max<std::int32_t>(1, outline.otmsUnderscoreSize) : 1;
}

const GlyphImage& TextFont::glyph(unsigned char ch) const {
    auto& face = *static_cast<GdiFace*>(face_);
    std::unique_ptr<GlyphImage>& slot = face.glyphs[ch];
    if (slot == nullptr) {
        HDC dc = cache_->select(face);
        slot = std::make_unique<GlyphImage>(dc != nullptr ? render(dc, ch) : GlyphImage{});
    }
    return *slot;
}

} // namespace gui::software
