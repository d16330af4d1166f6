#include "gui/platform/x11/event_proc.h"

#include "gui/platform/x11/x11_window.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>

namespace gui::x11 {
namespace {

void eventProc(XEvent* event) {
    if (event == nullptr) return;
    for (X11Window* window = X11Window::oldestLive(); window != nullptr;
         window = window->nextLive()) {
        if (window->id() == event->xany.window) {
            window->takeEvent(*event);
            return;
        }
    }
}

constexpr std::uintptr_t kLowMemory = std::uintptr_t{1} << 32;

// Hosts read the property either as one 32-bit item or as two (low half, high half).
// An address below 4 GiB reads the same both ways; a module's code lies higher on
// 64-bit systems, so a small jump to the procedure is placed in low memory.
class LowEntry {
  public:
    LowEntry() {
        const auto target = reinterpret_cast<std::uintptr_t>(&eventProc);
        if (target < kLowMemory) {
            entry_ = target;
            return;
        }
#if defined(__x86_64__) && defined(MAP_32BIT)
        void* page = mmap(nullptr, kPageSize, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        if (page == MAP_FAILED) return;
        // movabs rax, target; jmp rax
        unsigned char code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
        std::memcpy(code + 2, &target, sizeof target);
        std::memcpy(page, code, sizeof code);
        if (mprotect(page, kPageSize, PROT_READ | PROT_EXEC) != 0) {
            munmap(page, kPageSize);
            return;
        }
        page_ = page;
        entry_ = reinterpret_cast<std::uintptr_t>(page);
#endif
    }
    ~LowEntry() {
        if (page_ != nullptr) munmap(page_, kPageSize);
    }
    LowEntry(const LowEntry&) = delete;
    LowEntry& operator=(const LowEntry&) = delete;

    /// The address to publish; 0 when there is none.
    std::uintptr_t address() const {
        return entry_;
    }

  private:
    static constexpr std::size_t kPageSize = 4096;
    void* page_ = nullptr;
    std::uintptr_t entry_ = 0;
};

} // namespace

void publishEventProc(Display* display, ::Window window, Atom property) {
    static const LowEntry entry;
    if (entry.address() == 0) return;
    // Format-32 items travel as longs in Xlib.
    const long halves[2] = {static_cast<long>(entry.address()), 0};
    XChangeProperty(display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(halves), 2);
}

} // namespace gui::x11
