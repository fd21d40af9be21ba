// The one lock of the console host: the program's console calls and the host thread meet at
// the screen buffer and the input queue only while holding it.
//
// It is recursive for the thread that holds it (a message box reads keys through the console's
// input calls). Trying it and asking who holds it are single atomic operations, so a signal
// handler can use them: it never waits for the code it interrupted.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include <pthread.h>

namespace conlib::posix {

class HostLock {
  public:
    void lock() {
        const std::uintptr_t self = Self();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++depth_;
            return;
        }
        for (;;) {
            std::uintptr_t expected = 0;
            if (owner_.compare_exchange_weak(expected, self, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
                break;
            }
            if (expected != 0) owner_.wait(expected, std::memory_order_relaxed);
        }
        depth_ = 1;
    }

    // Takes the lock when it is free or the caller's already; never waits.
    bool try_lock() {
        const std::uintptr_t self = Self();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++depth_;
            return true;
        }
        std::uintptr_t expected = 0;
        if (!owner_.compare_exchange_strong(expected, self, std::memory_order_acquire,
                                            std::memory_order_relaxed)) {
            return false;
        }
        depth_ = 1;
        return true;
    }

    void unlock() {
        if (--depth_ > 0) return;
        owner_.store(0, std::memory_order_release);
        owner_.notify_all();
    }

    bool HeldByCaller() const { return owner_.load(std::memory_order_relaxed) == Self(); }

    // Lets go of the lock however deep the caller holds it; returns the depth for Reacquire.
    int ReleaseAll() {
        const int depth = depth_;
        depth_ = 1;
        unlock();
        return depth;
    }
    void Reacquire(int depth) {
        lock();
        depth_ = depth;
    }

  private:
    static std::uintptr_t Self() { return AsWord(pthread_self()); }

    // A thread's id as a word, whether the system makes it a pointer or a number (a template,
    // so that only the branch that fits is compiled).
    template <typename Id>
    static std::uintptr_t AsWord(Id id) {
        if constexpr (std::is_pointer_v<Id>) {
            return reinterpret_cast<std::uintptr_t>(id);
        } else {
            return static_cast<std::uintptr_t>(id);
        }
    }

    std::atomic<std::uintptr_t> owner_{0};
    int depth_ = 0;  // touched only by the holder
};

// Holds the lock for a scope.
class HostGuard {
  public:
    explicit HostGuard(HostLock& lock) : lock_(lock) { lock_.lock(); }
    ~HostGuard() { lock_.unlock(); }
    HostGuard(const HostGuard&) = delete;
    HostGuard& operator=(const HostGuard&) = delete;

  private:
    HostLock& lock_;
};

// Lets go of a held lock for a scope (a wait), and takes it back after.
class HostUnlocked {
  public:
    explicit HostUnlocked(HostLock& lock) : lock_(lock), depth_(lock.ReleaseAll()) {}
    ~HostUnlocked() { lock_.Reacquire(depth_); }
    HostUnlocked(const HostUnlocked&) = delete;
    HostUnlocked& operator=(const HostUnlocked&) = delete;

  private:
    HostLock& lock_;
    int depth_;
};

}  // namespace conlib::posix
