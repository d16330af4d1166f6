#include "gui/platform/x11/x11_drop_target.h"

#include "gui/platform/x11/uri_list.h"

#include <X11/Xatom.h>

#include <memory>
#include <utility>
#include <vector>

namespace gui::x11 {
namespace {

constexpr long kProtocolVersion = 5;
// Dropped file paths travel in buffers of this size, as on the platform the editor
// was first made for.
constexpr std::size_t kPathSize = 1024;
// The most data a drop may bring, in 32-bit units asked of XGetWindowProperty.
constexpr long kMaxDropLength = 1 << 22;

} // namespace

DropTarget::DropTarget(Display* display, ::Window window, const Atoms& atoms, DropDelivery deliver)
    : display_(display), window_(window), atoms_(atoms), deliver_(std::move(deliver)) {}

void DropTarget::announce() const {
    const long version = kProtocolVersion;
    XChangeProperty(display_, window_, atoms_.xdndAware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
}

bool DropTarget::handleMessage(const XClientMessageEvent& message) {
    if (message.format != 32) return false;
    if (message.message_type == atoms_.xdndEnter) {
        enter(message);
    } else if (message.message_type == atoms_.xdndPosition) {
        position(message);
    } else if (message.message_type == atoms_.xdndLeave) {
        leave();
    } else if (message.message_type == atoms_.xdndDrop) {
        drop(message);
    } else {
        return false;
    }
    return true;
}

// Files win over text: file managers offer their URIs as text too, and a file drop
// should arrive as files.
Atom DropTarget::chooseType(const Atom* offered, unsigned long count) const {
    const Atom preferred[] = {atoms_.uriList, atoms_.utf8String, atoms_.plainUtf8, atoms_.plain};
    for (const Atom wanted : preferred) {
        for (unsigned long i = 0; i < count; ++i) {
            if (offered[i] == wanted) return wanted;
        }
    }
    return None;
}

void DropTarget::readTypeList() {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, source_, atoms_.xdndTypeList, 0, 1024, False, XA_ATOM,
                           &actualType, &format, &count, &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        // Xlib hands 32-bit items as longs.
        std::vector<Atom> offered(count);
        for (unsigned long i = 0; i < count; ++i)
            offered[i] = static_cast<Atom>(reinterpret_cast<const unsigned long*>(data)[i]);
        type_ = chooseType(offered.data(), count);
    }
    if (data != nullptr) XFree(data);
}

void DropTarget::enter(const XClientMessageEvent& message) {
    source_ = static_cast<::Window>(message.data.l[0]);
    version_ = (message.data.l[1] >> 24) & 0xFF;
    type_ = None;
    waitingForData_ = false;
    if ((message.data.l[1] & 1) != 0) {
        readTypeList();
        return;
    }
    const Atom offered[] = {static_cast<Atom>(message.data.l[2]),
                            static_cast<Atom>(message.data.l[3]),
                            static_cast<Atom>(message.data.l[4])};
    type_ = chooseType(offered, 3);
}

void DropTarget::send(::Window to, Atom type, long l1, long l2, long l3, long l4) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display_;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(window_);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display_, to, False, NoEventMask, &event);
    XFlush(display_);
}

// The answer is copy whatever the source proposes: a view only reads the names or
// the text, and a source told "move" would delete its own data afterwards.
void DropTarget::position(const XClientMessageEvent& message) {
    const auto from = static_cast<::Window>(message.data.l[0]);
    if (from != source_) return;
    const bool accepting = type_ != None;
    // An empty rectangle: the source sends every move, so the answer follows the cursor.
    send(source_, atoms_.xdndStatus, accepting ? 1 : 0, 0, 0,
         accepting ? static_cast<long>(atoms_.xdndActionCopy) : None);
}

void DropTarget::leave() {
    source_ = 0;
    type_ = None;
    waitingForData_ = false;
}

void DropTarget::drop(const XClientMessageEvent& message) {
    if (static_cast<::Window>(message.data.l[0]) != source_) return;
    if (type_ == None) {
        finish(false);
        return;
    }
    const Time time = version_ >= 1 ? static_cast<Time>(message.data.l[2]) : CurrentTime;
    XConvertSelection(display_, atoms_.xdndSelection, type_, atoms_.dropProperty, window_, time);
    XFlush(display_);
    waitingForData_ = true;
}

void DropTarget::finish(bool accepted) {
    if (source_ != 0) {
        send(source_, atoms_.xdndFinished, accepted ? 1 : 0,
             accepted ? static_cast<long>(atoms_.xdndActionCopy) : None, 0, 0);
    }
    leave();
}

void DropTarget::handleSelection(const XSelectionEvent& event) {
    if (!waitingForData_ || event.requestor != window_ || event.selection != atoms_.xdndSelection)
        return;
    std::string data;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* bytes = nullptr;
    bool received = event.property != None &&
                    XGetWindowProperty(display_, window_, event.property, 0, kMaxDropLength, True,
                                       AnyPropertyType, &actualType, &format, &count, &remaining,
                                       &bytes) == Success &&
                    bytes != nullptr && format == 8;
    if (received) data.assign(reinterpret_cast<const char*>(bytes), count);
    if (bytes != nullptr) XFree(bytes);
    finish(received && deliverData(data));
}

bool DropTarget::deliverData(const std::string& data) {
    return type_ == atoms_.uriList ? deliverFiles(data) : deliverText(data);
}

bool DropTarget::deliverFiles(const std::string& uriList) {
    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<void*> items;
    for (const std::string& path : filePathsFromUriList(uriList, kPathSize)) {
        const std::string resolved = resolveLink(path, kPathSize);
        auto buffer = std::make_unique<char[]>(kPathSize);
        resolved.copy(buffer.get(), kPathSize - 1);
        items.push_back(buffer.get());
        buffers.push_back(std::move(buffer));
    }
    if (items.empty()) return false;
    return deliver_(items.data(), static_cast<std::int32_t>(items.size()), 0);
}

// The text goes with its terminator, and its size in bytes counts the terminator.
bool DropTarget::deliverText(const std::string& text) {
    if (text.empty()) return false;
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    void* item = buffer.data();
    return deliver_(&item, static_cast<std::int32_t>(buffer.size()), 1);
}

} // namespace gui::x11
