// Watches one heap block so a test can tell that an object which deletes itself has
// really been freed, and the sizes of the blocks allocated meanwhile. The test
// binary replaces the global allocation functions for it.
#pragma once

#include <cstddef>

namespace gui::test {

/// Starts watching the block at `address`; wasFreed() turns true when it is freed.
void watchBlock(const void* address);

/// True when the watched block has been freed since watchBlock.
bool wasFreed();

/// Starts over noting the largest block that operator new hands out.
void watchSizes();

/// The size of the largest block operator new handed out since watchSizes.
std::size_t largestBlock();

} // namespace gui::test
