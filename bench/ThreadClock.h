#pragma once

#include <time.h>

/** CPU time of the calling thread in seconds: a block's own cost, not the time it spent
    preempted by whatever else the machine runs. */
inline double threadSeconds()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return (double) t.tv_sec + 1.0e-9 * (double) t.tv_nsec;
}
