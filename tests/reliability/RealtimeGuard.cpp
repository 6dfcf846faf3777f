#include "RealtimeGuard.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <new>

#include <dlfcn.h>
#include <pthread.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define RTGUARD_SANITIZED 1
#elif defined(__has_feature)
 #if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  #define RTGUARD_SANITIZED 1
 #endif
#endif
#if defined(__SANITIZE_THREAD__)
 #define RTGUARD_TSAN 1
#elif defined(__has_feature)
 #if __has_feature(thread_sanitizer)
  #define RTGUARD_TSAN 1
 #endif
#endif

namespace
{
// Constant-initialised and local to the executable: reading them never allocates.
thread_local bool armed = false;
thread_local rtguard::Counts tally;

inline void note (long rtguard::Counts::*field) noexcept
{
    if (armed)
        ++(tally.*field);
}
} // namespace

namespace rtguard
{
Guard::Guard() noexcept
{
    tally = {};
    armed = true;
}

Guard::~Guard() { armed = false; }

Counts Guard::counts() const noexcept { return tally; }

bool seesMalloc() noexcept { return true; }

bool seesLocks() noexcept
{
#if RTGUARD_TSAN
    return false;
#else
    return true;
#endif
}
} // namespace rtguard

//==============================================================================
// operator new/delete, every replaceable form.
namespace
{
void* allocate (std::size_t size)
{
    note (&rtguard::Counts::operatorNew);
    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    note (&rtguard::Counts::operatorNew);
    auto align = (std::size_t) alignment;
    if (align < sizeof (void*))
        align = sizeof (void*);
    void* p = nullptr;
    if (posix_memalign (&p, align, size == 0 ? 1 : size) == 0)
        return p;
    throw std::bad_alloc();
}

void release (void* p) noexcept
{
    note (&rtguard::Counts::operatorDelete);
    std::free (p);
}
} // namespace

void* operator new (std::size_t n) { return allocate (n); }
void* operator new[] (std::size_t n) { return allocate (n); }
void* operator new (std::size_t n, const std::nothrow_t&) noexcept
{
    try { return allocate (n); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t n, const std::nothrow_t&) noexcept
{
    try { return allocate (n); } catch (...) { return nullptr; }
}
void* operator new (std::size_t n, std::align_val_t a) { return allocateAligned (n, a); }
void* operator new[] (std::size_t n, std::align_val_t a) { return allocateAligned (n, a); }
void* operator new (std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    try { return allocateAligned (n, a); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    try { return allocateAligned (n, a); } catch (...) { return nullptr; }
}

void operator delete (void* p) noexcept { release (p); }
void operator delete[] (void* p) noexcept { release (p); }
void operator delete (void* p, std::size_t) noexcept { release (p); }
void operator delete[] (void* p, std::size_t) noexcept { release (p); }
void operator delete (void* p, const std::nothrow_t&) noexcept { release (p); }
void operator delete[] (void* p, const std::nothrow_t&) noexcept { release (p); }
void operator delete (void* p, std::align_val_t) noexcept { release (p); }
void operator delete[] (void* p, std::align_val_t) noexcept { release (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept { release (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept { release (p); }
void operator delete (void* p, std::align_val_t, const std::nothrow_t&) noexcept { release (p); }
void operator delete[] (void* p, std::align_val_t, const std::nothrow_t&) noexcept { release (p); }

//==============================================================================
// The malloc family.
#if RTGUARD_SANITIZED
// The sanitizers own malloc; they report every allocation through these hooks.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, std::size_t),
                                                          void (*) (const volatile void*));
namespace
{
void onMalloc (const volatile void*, std::size_t) { note (&rtguard::Counts::mallocs); }
void onFree (const volatile void*) { note (&rtguard::Counts::frees); }

[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
} // namespace
#else
// Definitions in the executable come first for every library in the process; glibc's
// own entry points do the work, so all of these share glibc's heap.
extern "C"
{
void* __libc_malloc (std::size_t);
void* __libc_calloc (std::size_t, std::size_t);
void* __libc_realloc (void*, std::size_t);
void* __libc_memalign (std::size_t, std::size_t);
void __libc_free (void*);

void* malloc (std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    return __libc_malloc (n);
}

void* calloc (std::size_t count, std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    return __libc_calloc (count, n);
}

void* realloc (void* p, std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    return __libc_realloc (p, n);
}

void* memalign (std::size_t alignment, std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    return __libc_memalign (alignment, n);
}

void* aligned_alloc (std::size_t alignment, std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    return __libc_memalign (alignment, n);
}

int posix_memalign (void** out, std::size_t alignment, std::size_t n)
{
    note (&rtguard::Counts::mallocs);
    if (alignment < sizeof (void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = __libc_memalign (alignment, n);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}

void free (void* p)
{
    if (p != nullptr)
        note (&rtguard::Counts::frees);
    __libc_free (p);
}
}
#endif

//==============================================================================
// Locks. TSan intercepts these itself and must keep doing so.
#if ! RTGUARD_TSAN
namespace
{
using MutexLock = int (*) (pthread_mutex_t*);
using RwLock = int (*) (pthread_rwlock_t*);

template <typename Function>
Function next (const char* name) noexcept
{
    // glibc's own locking inside dlsym does not come back through these definitions.
    return reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));
}

// Resolved on first use (a lock may be taken before this file's statics are built) and
// again at start-up, so that no lookup happens inside a guarded region.
std::atomic<MutexLock> realMutexLock { nullptr }, realMutexTrylock { nullptr };
std::atomic<RwLock> realRdlock { nullptr }, realWrlock { nullptr };

template <typename Function>
Function resolve (std::atomic<Function>& slot, const char* name) noexcept
{
    auto f = slot.load (std::memory_order_relaxed);
    if (f == nullptr)
    {
        f = next<Function> (name);
        slot.store (f, std::memory_order_relaxed);
    }
    return f;
}

[[maybe_unused]] const bool locksResolved = resolve (realMutexLock, "pthread_mutex_lock") != nullptr
                                            && resolve (realMutexTrylock, "pthread_mutex_trylock") != nullptr
                                            && resolve (realRdlock, "pthread_rwlock_rdlock") != nullptr
                                            && resolve (realWrlock, "pthread_rwlock_wrlock") != nullptr;
} // namespace

extern "C"
{
int pthread_mutex_lock (pthread_mutex_t* m)
{
    note (&rtguard::Counts::locks);
    return resolve (realMutexLock, "pthread_mutex_lock") (m);
}

int pthread_mutex_trylock (pthread_mutex_t* m)
{
    note (&rtguard::Counts::locks);
    return resolve (realMutexTrylock, "pthread_mutex_trylock") (m);
}

int pthread_rwlock_rdlock (pthread_rwlock_t* l)
{
    note (&rtguard::Counts::locks);
    return resolve (realRdlock, "pthread_rwlock_rdlock") (l);
}

int pthread_rwlock_wrlock (pthread_rwlock_t* l)
{
    note (&rtguard::Counts::locks);
    return resolve (realWrlock, "pthread_rwlock_wrlock") (l);
}
}
#endif
