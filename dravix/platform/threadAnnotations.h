#pragma once

#include <mutex>

// Lock annotations for clang's thread-safety analysis (-Wthread-safety); empty under other
// compilers. std::mutex carries none in libstdc++, so the mutexes the analysis checks are
// annotatedMutex, locked through mutexLock.
#if defined(__clang__)
#define DRAVIX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define DRAVIX_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) DRAVIX_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY DRAVIX_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) DRAVIX_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) DRAVIX_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) DRAVIX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) DRAVIX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) DRAVIX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) DRAVIX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define ACQUIRED_AFTER(...) DRAVIX_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))

namespace dravix {

// A std::mutex the analysis knows as a lock.
class CAPABILITY("mutex") annotatedMutex {
  public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

// Holds an annotatedMutex for its scope.
class SCOPED_CAPABILITY mutexLock {
  public:
    explicit mutexLock(annotatedMutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~mutexLock() RELEASE() { mutex_.unlock(); }
    mutexLock(const mutexLock&) = delete;
    mutexLock& operator=(const mutexLock&) = delete;

  private:
    annotatedMutex& mutex_;
};

}  // namespace dravix
