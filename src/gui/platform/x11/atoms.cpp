#include "gui/platform/x11/atoms.h"

#include <array>

namespace gui::x11 {

bool Atoms::intern(Display* display) {
    // In the order of the fields.
    std::array<const char*, 16> names = {"XdndAware",
                                         "XdndEnter",
                                         "XdndPosition",
                                         "XdndStatus",
                                         "XdndLeave",
                                         "XdndDrop",
                                         "XdndFinished",
                                         "XdndSelection",
                                         "XdndTypeList",
                                         "XdndActionCopy",
                                         "text/uri-list",
                                         "UTF8_STRING",
                                         "text/plain;charset=utf-8",
                                         "text/plain",
                                         "_XEventProc",
                                         "TESK_DROP"};
    std::array<Atom, 16> atoms{};
    if (!XInternAtoms(display, const_cast<char**>(names.data()), static_cast<int>(names.size()),
                      False, atoms.data()))
        return false;
    Atom* fields[] = {&xdndAware,    &xdndEnter,      &xdndPosition, &xdndStatus,
                      &xdndLeave,    &xdndDrop,       &xdndFinished, &xdndSelection,
                      &xdndTypeList, &xdndActionCopy, &uriList,      &utf8String,
                      &plainUtf8,    &plain,          &eventProc,    &dropProperty};
    for (std::size_t i = 0; i < atoms.size(); ++i)
        *fields[i] = atoms[i];
    return true;
}

} // namespace gui::x11
