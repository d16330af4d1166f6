#include "allocation_counter.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace tesk::test {
namespace {

thread_local bool tCounting = false;
thread_local CallCounts tCounts;

void countAllocation() {
    if (tCounting) ++tCounts.allocations;
}
void countRelease() {
    if (tCounting) ++tCounts.releases;
}

} // namespace

void startCounting() {
    tCounts = {};
    tCounting = true;
}

CallCounts stopCounting() {
    tCounting = false;
    return tCounts;
}

} // namespace tesk::test

// The project builds with hidden visibility; these must be seen by every
// module in the process to stand in for the library's.
#define EXPORTED __attribute__((visibility("default")))

using tesk::test::countAllocation;
using tesk::test::countRelease;

extern "C" {

EXPORTED void* malloc(std::size_t size) {
    countAllocation();
    return __libc_malloc(size);
}

EXPORTED void* calloc(std::size_t count, std::size_t size) {
    countAllocation();
    return __libc_calloc(count, size);
}

EXPORTED void* realloc(void* pointer, std::size_t size) {
    countAllocation();
    return __libc_realloc(pointer, size);
}

EXPORTED void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}

EXPORTED int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    countAllocation();
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : ENOMEM;
}

EXPORTED void free(void* pointer) {
    countRelease();
    __libc_free(pointer);
}

EXPORTED int pthread_mutex_lock(pthread_mutex_t* mutex) {
    using Lock = int (*)(pthread_mutex_t*);
    static Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (tesk::test::tCounting) ++tesk::test::tCounts.locks;
    return real(mutex);
}

EXPORTED int pthread_mutex_trylock(pthread_mutex_t* mutex) {
    using Lock = int (*)(pthread_mutex_t*);
    static Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_trylock"));
    if (tesk::test::tCounting) ++tesk::test::tCounts.locks;
    return real(mutex);
}

} // extern "C"

EXPORTED void* operator new(std::size_t size) {
    countAllocation();
    if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
EXPORTED void* operator new[](std::size_t size) { return operator new(size); }
EXPORTED void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    countAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
EXPORTED void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
EXPORTED void operator delete(void* p) noexcept {
    countRelease();
    __libc_free(p);
}
EXPORTED void operator delete[](void* p) noexcept { operator delete(p); }
EXPORTED void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
EXPORTED void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
