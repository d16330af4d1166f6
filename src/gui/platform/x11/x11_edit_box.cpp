#include "gui/platform/x11/x11_edit_box.h"

#include "gui/platform/x11/x11_window.h"

#include <X11/keysym.h>

#include <optional>

namespace gui::x11 {
namespace {

std::optional<software::EditKey> editKey(KeySym symbol) {
    using software::EditKey;
    switch (symbol) {
    case XK_BackSpace:
        return EditKey::backspace;
    case XK_Delete:
    case XK_KP_Delete:
        return EditKey::del;
    case XK_Left:
    case XK_KP_Left:
        return EditKey::left;
    case XK_Right:
    case XK_KP_Right:
        return EditKey::right;
    case XK_Home:
    case XK_KP_Home:
        return EditKey::home;
    case XK_End:
    case XK_KP_End:
        return EditKey::end;
    case XK_Return:
    case XK_KP_Enter:
        return EditKey::enter;
    case XK_Escape:
        return EditKey::escape;
    default:
        return std::nullopt;
    }
}

} // namespace

X11EditBox::X11EditBox(X11Window& window, const platform::EditBoxStyle& style, const char* text,
                       platform::EditBoxListener& listener)
    : SoftwareEditBox(style, text, listener), window_(window) {
    window_.beginEdit(*this);
    changed();
}

X11EditBox::~X11EditBox() {
    window_.endEdit(style().area);
}

void X11EditBox::changed() {
    paint(window_.acquireSurface());
    window_.releaseSurface();
}

void X11EditBox::press(XKeyEvent event) {
    char typed[16] = {};
    KeySym symbol = NoSymbol;
    const int length = XLookupString(&event, typed, sizeof typed, &symbol, nullptr);
    if (const std::optional<software::EditKey> key = editKey(symbol)) {
        // The box may be gone after this call.
        pressKey(*key, (event.state & ShiftMask) != 0);
        return;
    }
    for (int i = 0; i < length; ++i)
        typeCharacter(typed[i]);
}

} // namespace gui::x11

namespace gui::platform {

std::unique_ptr<EditBox> EditBox::create(Window& window, const EditBoxStyle& style,
                                         const char* text, EditBoxListener& listener) {
    return std::make_unique<x11::X11EditBox>(static_cast<x11::X11Window&>(window), style, text,
                                             listener);
}

} // namespace gui::platform
