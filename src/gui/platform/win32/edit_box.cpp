// The system's single-line edit box over a text field: the "EDIT" class with the
// field's font, alignment and colours, its procedure replaced so that Return and
// the loss of the keyboard focus end the edit.
#include "gui/platform/win32/win32.h"

#include <algorithm>
#include <cstring>

namespace gui::win32 {
namespace {

/// Colours of the box as the style gives them, in the system's 24-bit form.
COLORREF toColorRef(Color color) {
    return RGB(color.red, color.green, color.blue);
}

DWORD alignmentStyle(platform::TextAlign align) {
    if (align == platform::TextAlign::left) return ES_LEFT;
    if (align == platform::TextAlign::right) return ES_RIGHT;
    return ES_CENTER;
}

/// The edit class's own procedure, the same for every box; kept when the first box
/// is subclassed.
WNDPROC systemEditProcedure = nullptr;

/// A native edit box; the window's user-data word points back to it.
class Win32EditBox final : public platform::EditBox {
  public:
    Win32EditBox(HWND parent, const platform::EditBoxStyle& style, const char* text,
                 platform::EditBoxListener& listener);
    ~Win32EditBox() override;
    Win32EditBox(const Win32EditBox&) = delete;
    Win32EditBox& operator=(const Win32EditBox&) = delete;

    /// True when the system made the box.
    bool valid() const { return hwnd_ != nullptr; }
    /// Copies the box's text: at most `capacity` − 1 characters and a terminator.
    void getText(char* out, std::int32_t capacity) const override;
    /// Sets the colours of the box's text on `dc`; the brush for its background.
    LRESULT colours(HDC dc) const;

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void setUp(const char* text);

    platform::EditBoxStyle style_;
    platform::EditBoxListener& listener_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;
};

Win32EditBox* boxOf(HWND hwnd) {
    return reinterpret_cast<Win32EditBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

HFONT makeFont(const platform::FontRequest& request) {
    LOGFONTA font{};
    font.lfHeight = -std::max(1, request.height);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STRING_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    if (request.face != nullptr) std::strncpy(font.lfFaceName, request.face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

Win32EditBox::Win32EditBox(HWND parent, const platform::EditBoxStyle& style, const char* text,
                           platform::EditBoxListener& listener)
    : style_(style), listener_(listener), font_(makeFont(style.font)),
      brush_(CreateSolidBrush(toColorRef(style.backColor))) {
    const Rect& area = style_.area;
    hwnd_ = CreateWindowExA(0, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | alignmentStyle(style_.align),
                            area.left, area.top, area.width(), area.height(), parent, nullptr,
                            moduleInstance(), nullptr);
    if (hwnd_ != nullptr) setUp(text);
}

void Win32EditBox::setUp(const char* text) {
    char limited[kMaxText + 1] = {};
    if (text != nullptr) std::strncpy(limited, text, kMaxText);
    SetWindowTextA(hwnd_, limited);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SendMessageA(hwnd_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    SendMessageA(hwnd_, EM_LIMITTEXT, kMaxText, 0);
    SendMessageA(hwnd_, EM_SETSEL, 0, -1);
    const auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    if (systemEditProcedure == nullptr) systemEditProcedure = previous;
    SetFocus(hwnd_);
}

Win32EditBox::~Win32EditBox() {
    if (hwnd_ != nullptr) {
        // The focus change that destruction causes must not end the edit a second time.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (brush_ != nullptr) DeleteObject(brush_);
}

void Win32EditBox::getText(char* out, std::int32_t capacity) const {
    if (out == nullptr || capacity <= 0) return;
    out[0] = '\0';
    GetWindowTextA(hwnd_, out, capacity);
}

LRESULT Win32EditBox::colours(HDC dc) const {
    SetTextColor(dc, toColorRef(style_.textColor));
    SetBkColor(dc, toColorRef(style_.backColor));
    return reinterpret_cast<LRESULT>(brush_);
}

LRESULT CALLBACK Win32EditBox::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Win32EditBox* box = boxOf(hwnd);
    if (box == nullptr) return CallWindowProcA(systemEditProcedure, hwnd, message, wParam, lParam);
    try {
        if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
        if (message == WM_KEYDOWN && wParam == VK_RETURN) {
            // The listener may destroy the box: nothing touches it afterwards.
            box->listener_.editEnded();
            return 0;
        }
        if (message == WM_KILLFOCUS) {
            // The edit control handles the loss first, as the box may not outlive the call.
            const LRESULT result =
                CallWindowProcA(systemEditProcedure, hwnd, message, wParam, lParam);
            box->listener_.editEnded();
            return result;
        }
    } catch (...) {
        return 0;
    }
    return CallWindowProcA(systemEditProcedure, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT answerEditColours(HWND edit, HDC dc) {
    const Win32EditBox* box = boxOf(edit);
    if (box == nullptr)
        return DefWindowProcA(GetParent(edit), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(edit));
    return box->colours(dc);
}

} // namespace gui::win32

namespace gui::platform {

std::unique_ptr<EditBox> EditBox::create(Window& window, const EditBoxStyle& style,
                                         const char* text, EditBoxListener& listener) {
    HWND parent = static_cast<win32::FrameWindow&>(window).handle();
    if (parent == nullptr) return nullptr;
    auto box = std::make_unique<win32::Win32EditBox>(parent, style, text, listener);
    if (!box->valid()) return nullptr;
    return box;
}

} // namespace gui::platform
