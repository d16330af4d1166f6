// Counts heap and lock calls made by the current thread while counting is on.
// The definitions in allocation_counter.cpp replace the C library's and the
// C++ runtime's for the whole test program, including modules it loads.
#pragma once

#include <cstddef>

namespace tesk::test {

struct CallCounts {
    std::size_t allocations = 0; ///< malloc, calloc, realloc, aligned_alloc, posix_memalign, new
    std::size_t releases = 0;    ///< free, delete
    std::size_t locks = 0;       ///< pthread_mutex_lock, pthread_mutex_trylock
};

/// Starts counting on this thread from zero.
void startCounting();
/// Stops counting on this thread and returns what it saw.
CallCounts stopCounting();

} // namespace tesk::test
