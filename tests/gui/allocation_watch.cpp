#include "allocation_watch.h"

#include <cstdlib>
#include <new>

namespace {

const void* watched = nullptr;
bool freed = false;
std::size_t largest = 0;

void release(void* block) noexcept {
    if (block != nullptr && block == watched) freed = true;
    std::free(block);
}

} // namespace

namespace gui::test {

void watchBlock(const void* address) {
    watched = address;
    freed = false;
}

bool wasFreed() {
    return freed;
}

void watchSizes() {
    largest = 0;
}

std::size_t largestBlock() {
    return largest;
}

} // namespace gui::test

void* operator new(std::size_t size) {
    if (size > largest) largest = size;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept {
    release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    release(block);
}
