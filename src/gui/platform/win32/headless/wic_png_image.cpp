// PNG files to and from packed RGB pixels on Windows, through the system's imaging
// component (libpng is not available to the Windows build).
#include "gui/platform/software/png_image.h"

#include <windows.h>

#include <wincodec.h>

#include <vector>

namespace gui {
namespace {

// Resources are editor artwork; a header claiming more than this is not one of ours.
constexpr std::size_t kMaxPixels = std::size_t{1} << 24;
constexpr std::size_t kMaxPathSize = 1024;

/// Holds one COM reference and releases it at the end of the scope.
template <typename T> class Com {
  public:
    Com() = default;
    ~Com() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return pointer_; }
    T* get() const { return pointer_; }
    T** out() { return &pointer_; }

  private:
    T* pointer_ = nullptr;
};

/// COM for the imaging component, for the length of one call on this thread.
class ComScope {
  public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_;
};

bool makeFactory(Com<IWICImagingFactory>& factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.out())));
}

std::uint8_t onWhite(std::uint8_t value, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

/// The frame's pixels as RGB, laid on white where they are transparent.
bool readFrame(IWICBitmapSource* frame, RgbImage& image) {
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || std::size_t{width} * height > kMaxPixels)
        return false;
    Com<IWICBitmapSource> bgra;
    if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, bgra.out())))
        return false;
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    if (FAILED(bgra->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()),
                                pixels.data()))) {
        return false;
    }
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.rgb.resize(std::size_t{width} * height * 3);
    for (std::size_t i = 0, o = 0; o < image.rgb.size(); i += 4, o += 3) {
        image.rgb[o] = onWhite(pixels[i + 2], pixels[i + 3]);
        image.rgb[o + 1] = onWhite(pixels[i + 1], pixels[i + 3]);
        image.rgb[o + 2] = onWhite(pixels[i], pixels[i + 3]);
    }
    return true;
}

bool decode(const unsigned char* data, std::size_t size, RgbImage& image) {
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    return makeFactory(factory) && SUCCEEDED(factory->CreateStream(stream.out())) &&
           SUCCEEDED(
               stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) &&
           SUCCEEDED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.out())) &&
           SUCCEEDED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) &&
           SUCCEEDED(decoder->GetFrame(0, frame.out())) && readFrame(frame.get(), image);
}

/// The image's rows in the encoder's blue, green, red order.
std::vector<std::uint8_t> toBgr(const RgbImage& image) {
    std::vector<std::uint8_t> bgr(image.rgb.size());
    for (std::size_t i = 0; i < bgr.size(); i += 3) {
        bgr[i] = image.rgb[i + 2];
        bgr[i + 1] = image.rgb[i + 1];
        bgr[i + 2] = image.rgb[i];
    }
    return bgr;
}

bool writeFrame(IWICBitmapEncoder* encoder, const RgbImage& image) {
    Com<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    std::vector<std::uint8_t> bgr = toBgr(image);
    const auto stride = static_cast<UINT>(image.width) * 3;
    return SUCCEEDED(encoder->CreateNewFrame(frame.out(), nullptr)) &&
           SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(
               frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) &&
           SUCCEEDED(frame->SetPixelFormat(&format)) &&
           IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
           SUCCEEDED(frame->WritePixels(static_cast<UINT>(image.height), stride,
                                        static_cast<UINT>(bgr.size()), bgr.data())) &&
           SUCCEEDED(frame->Commit());
}

bool encode(const char* path, const RgbImage& image) {
    wchar_t widePath[kMaxPathSize];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, kMaxPathSize) == 0) return false;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapEncoder> encoder;
    return makeFactory(factory) && SUCCEEDED(factory->CreateStream(stream.out())) &&
           SUCCEEDED(stream->InitializeFromFilename(widePath, GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) &&
           SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
           writeFrame(encoder.get(), image) && SUCCEEDED(encoder->Commit());
}

} // namespace

bool decodePng(const unsigned char* data, std::size_t size, RgbImage& image) {
    image = {};
    if (data == nullptr || size == 0) return false;
    const ComScope com;
    if (decode(data, size, image)) return true;
    image = {};
    return false;
}

bool writePng(const char* path, const RgbImage& image) {
    if (path == nullptr || image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != std::size_t(image.width) * image.height * 3) {
        return false;
    }
    const ComScope com;
    return encode(path, image);
}

} // namespace gui
