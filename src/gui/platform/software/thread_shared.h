// State a thread keeps while something on it needs it: one T per thread, made for the
// first share taken on the thread and destroyed with the last one given back.
//
// A thread_local object with a destructor would do the same with less code, but its
// destructor waits for the thread's end, and until then the C runtimes keep the module
// that holds it loaded (glibc and MinGW-w64 both pin it): a host could no longer unload
// the plug-in once its editor had been open on the host's UI thread. Only the pointer
// here is thread-local, and a pointer needs no destructor.
#pragma once

#include <cstddef>

namespace gui::software {

/// A share in the calling thread's T. A share is made and destroyed on one thread: the
/// T it reaches belongs to that thread, and no lock guards it.
template <class T> class ThreadShared {
  public:
    /// Takes a share in this thread's T, making the T when the thread has none.
    ThreadShared() : entry_(current() != nullptr ? current() : (current() = new Entry)) {
        ++entry_->shares;
    }
    /// Gives the share back; the last one destroys the T.
    ~ThreadShared() {
        if (--entry_->shares > 0) return;
        if (current() == entry_) current() = nullptr;
        delete entry_;
    }
    ThreadShared(const ThreadShared&) = delete;
    ThreadShared& operator=(const ThreadShared&) = delete;

    /// The thread's T.
    T& operator*() const { return entry_->value; }
    /// The thread's T.
    T* operator->() const { return &entry_->value; }

  private:
    struct Entry {
        T value;
        std::size_t shares = 0;
    };

    static Entry*& current() {
        thread_local Entry* entry = nullptr;
        return entry;
    }

    Entry* entry_;
};

} // namespace gui::software
