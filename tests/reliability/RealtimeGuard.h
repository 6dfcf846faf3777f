#pragma once

// Counts what the calling thread allocates, frees and locks while a guard is alive, so a
// test can prove that a piece of audio code does none of it.
//
// Seen in every build: global operator new/delete (replaced in this test program).
// Without ASan/TSan: the malloc family (interposed, forwarding to glibc's own functions)
// and pthread mutex and rwlock locking (interposed, forwarding to the next definition).
// Under ASan/TSan: the malloc family through the sanitizer's allocation hooks; locks
// under ASan as above; under TSan not at all (its own interceptors must stay in place).

namespace rtguard
{
struct Counts
{
    long operatorNew = 0;
    long operatorDelete = 0;
    long mallocs = 0; // malloc, calloc, realloc, aligned variants; includes operator new's
    long frees = 0;
    long locks = 0;

    long total() const noexcept { return operatorNew + operatorDelete + mallocs + frees + locks; }
};

/** Starts counting on this thread; counting stops when the guard is destroyed. */
class Guard
{
public:
    Guard() noexcept;
    ~Guard();
    Guard (const Guard&) = delete;
    Guard& operator= (const Guard&) = delete;

    /** What this thread did since the guard was made. */
    Counts counts() const noexcept;
};

/** Whether this build sees malloc-family calls and lock calls at all. */
bool seesMalloc() noexcept;
bool seesLocks() noexcept;
} // namespace rtguard
