#include "gui/platform/x11/event_proc.h"

#include "gui/platform/x11/x11_window.h"

#include <sys/mman.h>
#include <unistd.h>

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

// A jump to `target` in the processor's own machine code.
struct Jump {
    unsigned char code[16];
    std::size_t size;
};

Jump jumpTo(std::uintptr_t target) {
    Jump jump{};
#if defined(__x86_64__)
    // movabs rax, target; jmp rax
    const unsigned char code[12] = {0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xE0};
    std::memcpy(jump.code, code, sizeof code);
    std::memcpy(jump.code + 2, &target, sizeof target);
    jump.size = sizeof code;
#elif defined(__aarch64__)
    // ldr x16, .+8; br x16; then the 8-byte target that the load reads
    const std::uint32_t code[2] = {0x58000050u, 0xD61F0200u};
    std::memcpy(jump.code, code, sizeof code);
    std::memcpy(jump.code + sizeof code, &target, sizeof target);
    jump.size = sizeof code + sizeof target;
#else
#error "the event procedure's jump is written for x86-64 and aarch64"
#endif
    return jump;
}

// One page of memory below 4 GiB, or null. x86-64 asks for it outright;
// elsewhere (aarch64 has no MAP_32BIT) the system is offered low addresses
// one after another as hints, and an answer it gives elsewhere is handed back.
void* lowPage(std::size_t pageSize) {
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(MAP_32BIT)
    void* page = mmap(nullptr, pageSize, PROT_READ | PROT_WRITE, flags | MAP_32BIT, -1, 0);
    return page == MAP_FAILED ? nullptr : page;
#else
    // From 256 MiB up in steps of 256 MiB: above where non-relocatable programs
    // load, and aligned to every page size in use (4, 16 or 64 KiB).
    constexpr std::uintptr_t kStep = std::uintptr_t{1} << 28;
    for (std::uintptr_t hint = kStep; hint < kLowMemory; hint += kStep) {
        void* page =
            mmap(reinterpret_cast<void*>(hint), pageSize, PROT_READ | PROT_WRITE, flags, -1, 0);
        if (page == MAP_FAILED) continue;
        if (reinterpret_cast<std::uintptr_t>(page) + pageSize <= kLowMemory) return page;
        munmap(page, pageSize);
    }
    return nullptr;
#endif
}

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
        const Jump jump = jumpTo(target);
        // The system's page size: 4 KiB on x86, 4, 16 or 64 KiB on aarch64.
        pageSize_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* page = lowPage(pageSize_);
        if (page == nullptr) return;
        std::memcpy(page, jump.code, jump.size);
        // aarch64 fetches instructions apart from data: make the new code visible.
        __builtin___clear_cache(static_cast<char*>(page), static_cast<char*>(page) + jump.size);
        if (mprotect(page, pageSize_, PROT_READ | PROT_EXEC) != 0) {
            munmap(page, pageSize_);
            return;
        }
        page_ = page;
        entry_ = reinterpret_cast<std::uintptr_t>(page);
    }
    ~LowEntry() {
        if (page_ != nullptr) munmap(page_, pageSize_);
    }
    LowEntry(const LowEntry&) = delete;
    LowEntry& operator=(const LowEntry&) = delete;

    /// The address to publish; 0 when there is none.
    std::uintptr_t address() const { return entry_; }

  private:
    std::size_t pageSize_ = 0;
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
