// Faces are found through fontconfig and opened with FreeType once per thread, while
// the thread's cache lives; the GUI runs on one thread per editor, so the caches need
// no lock.
#include "gui/platform/software/text_font.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

namespace gui::software {
namespace {

// Larger requests are drawn at this height: a glyph bitmap stays a few megabytes.
constexpr std::int32_t kMaxPixelHeight = 1024;
// The glyph cache starts afresh beyond this many glyphs.
constexpr std::size_t kMaxCachedGlyphs = 4096;

// Code points of the bytes 0x80..0x9F: the toolkit's text is Windows-1252.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::uint32_t codePoint(unsigned char ch) {
    return ch >= 0x80 && ch < 0xA0 ? kCp1252High[ch - 0x80] : ch;
}

std::int32_t roundPixels(FT_Pos value) {
    return static_cast<std::int32_t>((value + 32) >> 6);
}

std::int32_t ceilPixels(FT_Pos value) {
    return static_cast<std::int32_t>((value + 63) >> 6);
}

/// The face fontconfig chose for a family and style, and what FreeType must add.
struct FaceChoice {
    FT_Face face = nullptr;
    bool emboldened = false;
    bool slanted = false;
    bool symbolEncoded = false;
};

struct GlyphKey {
    FT_Face face;
    std::int32_t height;
    bool emboldened;
    bool slanted;
    unsigned char ch;
    bool operator==(const GlyphKey&) const = default;
};

struct GlyphKeyHash {
    std::size_t operator()(const GlyphKey& k) const {
        const auto bits = (static_cast<std::size_t>(k.height) << 10) ^
                          (static_cast<std::size_t>(k.ch) << 2) ^ (k.emboldened ? 1u : 0u) ^
                          (k.slanted ? 2u : 0u);
        return std::hash<const void*>()(k.face) ^ (bits * 0x9E3779B97F4A7C15ull);
    }
};

/// Keeps fontconfig in the process once we have used it. It holds its configuration
/// for the process and hosts that draw text keep it loaded anyway; unloaded together
/// with our module, it would take that configuration with it unreleased.
void keepFontconfigLoaded() {
    static void* const pinned =
        dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    (void)pinned;
}

} // namespace

/// The thread's FreeType library with the faces it opened and the glyphs it rendered.
class FontCache {
  public:
    FontCache() {
        keepFontconfigLoaded();
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    }

    ~FontCache() {
        for (auto& [key, face] : faces_)
            FT_Done_Face(face);
        if (library_ != nullptr) FT_Done_FreeType(library_);
    }

    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    /// The face for a family and style, matched once and then kept.
    FaceChoice choose(const platform::FontRequest& request) {
        // The family name says all fontconfig needs; decorative only matters to back
        // ends that choose fonts by family class.
        const auto key = std::make_tuple(std::string(request.face), request.bold, request.italic);
        auto found = choices_.find(key);
        if (found == choices_.end()) found = choices_.emplace(key, match(request)).first;
        return found->second;
    }

    /// The glyph of `ch` in `face` at `height`, rendered on first use.
    const GlyphImage& glyph(const GlyphKey& key, bool symbolEncoded) {
        auto found = glyphs_.find(key);
        if (found != glyphs_.end()) return found->second;
        if (glyphs_.size() >= kMaxCachedGlyphs) glyphs_.clear();
        return glyphs_.emplace(key, render(key, symbolEncoded)).first->second;
    }

  private:
    FaceChoice match(const platform::FontRequest& request) {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.face));
        // Where the named family is missing, a sans face serves (symbols included).
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* matched = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        FaceChoice choice;
        if (matched == nullptr) return choice;
        choice = open(matched, request);
        FcPatternDestroy(matched);
        return choice;
    }

    FaceChoice open(FcPattern* matched, const platform::FontRequest& request) {
        FaceChoice choice;
        FcChar8* file = nullptr;
        int index = 0;
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(matched, FC_FILE, 0, &file) != FcResultMatch) return choice;
        FcPatternGetInteger(matched, FC_INDEX, 0, &index);
        FcPatternGetInteger(matched, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(matched, FC_SLANT, 0, &slant);
        choice.face = load(reinterpret_cast<const char*>(file), index);
        if (choice.face == nullptr) return choice;
        // A family without a bold or italic face gets them drawn by FreeType.
        choice.emboldened = request.bold && weight < FC_WEIGHT_DEMIBOLD;
        choice.slanted = request.italic && slant == FC_SLANT_ROMAN;
        choice.symbolEncoded = choice.face->charmap == nullptr ||
                               choice.face->charmap->encoding != FT_ENCODING_UNICODE;
        return choice;
    }

    FT_Face load(const std::string& file, int index) {
        const auto key = std::make_pair(file, index);
        auto found = faces_.find(key);
        if (found != faces_.end()) return found->second;
        FT_Face face = nullptr;
        if (library_ == nullptr || FT_New_Face(library_, file.c_str(), index, &face) != 0) {
            return nullptr;
        }
        if (face->charmap == nullptr || face->charmap->encoding != FT_ENCODING_UNICODE) {
            FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL);
        }
        faces_.emplace(key, face);
        return face;
    }

    static FT_UInt glyphIndex(FT_Face face, unsigned char ch, bool symbolEncoded) {
        if (!symbolEncoded) return FT_Get_Char_Index(face, codePoint(ch));
        // Symbol fonts put their glyphs at 0xF000 plus the character byte.
        const FT_UInt index = FT_Get_Char_Index(face, 0xF000u | ch);
        return index != 0 ? index : FT_Get_Char_Index(face, ch);
    }

    static GlyphImage render(const GlyphKey& key, bool symbolEncoded) {
        GlyphImage image;
        FT_Face face = key.face;
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(key.height)) != 0) return image;
        const FT_UInt index = glyphIndex(face, key.ch, symbolEncoded);
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return image;
        FT_GlyphSlot slot = face->glyph;
        if (key.emboldened) FT_GlyphSlot_Embolden(slot);
        if (key.slanted) FT_GlyphSlot_Oblique(slot);
        image.advance = roundPixels(slot->advance.x);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return image;
        copyCoverage(slot, image);
        return image;
    }

    static void copyCoverage(FT_GlyphSlot slot, GlyphImage& image) {
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
        image.left = slot->bitmap_left;
        image.top = slot->bitmap_top;
        image.width = static_cast<std::int32_t>(bitmap.width);
        image.rows = static_cast<std::int32_t>(bitmap.rows);
        image.coverage.resize(static_cast<std::size_t>(image.width) * image.rows);
        for (std::int32_t row = 0; row < image.rows; ++row) {
            const unsigned char* source = bitmap.buffer + row * bitmap.pitch;
            std::copy(source, source + image.width,
                      image.coverage.begin() + static_cast<std::ptrdiff_t>(row) * image.width);
        }
    }

    FT_Library library_ = nullptr;
    std::map<std::tuple<std::string, bool, bool>, FaceChoice> choices_;
    std::map<std::pair<std::string, int>, FT_Face> faces_;
    std::unordered_map<GlyphKey, GlyphImage, GlyphKeyHash> glyphs_;
};

FontCacheShare::FontCacheShare() = default;

FontCacheShare::~FontCacheShare() = default;

FontCache* FontCacheShare::operator->() const {
    return &*shared_;
}

TextFont::TextFont(const platform::FontRequest& request) {
    const std::int64_t height = request.height;
    height_ = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(height < 0 ? -height : height, 1, kMaxPixelHeight));
    const FaceChoice choice = cache_->choose(request);
    face_ = choice.face;
    emboldened_ = choice.emboldened;
    slanted_ = choice.slanted;
    symbolEncoded_ = choice.symbolEncoded;
    if (face_ != nullptr) readMetrics(request.underline);
}

void TextFont::readMetrics(bool underline) {
    auto face = static_cast<FT_Face>(face_);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(height_)) != 0) {
        face_ = nullptr;
        return;
    }
    const FT_Size_Metrics& metrics = face->size->metrics;
    ascent_ = ceilPixels(metrics.ascender);
    cellHeight_ = ascent_ + ceilPixels(-metrics.descender);
    if (!underline) return;
    underlineOffset_ =
        std::max(1, roundPixels(-FT_MulFix(face->underline_position, metrics.y_scale)));
    underlineThickness_ =
        std::max(1, roundPixels(FT_MulFix(face->underline_thickness, metrics.y_scale)));
}

const GlyphImage& TextFont::glyph(unsigned char ch) const {
    const GlyphKey key{static_cast<FT_Face>(face_), height_, emboldened_, slanted_, ch};
    return cache_->glyph(key, symbolEncoded_);
}

} // namespace gui::software
