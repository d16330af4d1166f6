// Watches one heap block so a test can tell that an object which deletes itself has
// really been freed. The test binary replaces the global allocation functions for it.
#pragma once

namespace gui::test {

/// Starts watching the block at `address`; wasFreed() turns true when it is freed.
void watchBlock(const void* address);

/// True when the watched block has been freed since watchBlock.
bool wasFreed();

} // namespace gui::test
