#pragma once

/* The few loops that carry most of the work outside the FFT library (spectral products, the
   real-transform split, reading inputs) are compiled twice on x86-64: for AVX2 and for any
   x86-64 processor, the right one picked when the library loads. Both use the same
   operations in the same order, without fused multiply-adds, so every processor computes
   the same result to the bit.

   Not under ThreadSanitizer: the loader picks the clone before that runtime has started,
   and its instrumentation of the picking code would crash the program. */
#if defined(__has_feature)
 #if __has_feature(thread_sanitizer)
  #define VENDRASOLITH_THREAD_SANITIZER 1
 #endif
#endif
#if defined(__SANITIZE_THREAD__)
 #define VENDRASOLITH_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && ! defined(VENDRASOLITH_THREAD_SANITIZER)
 #define VENDRASOLITH_VECTOR_CLONES __attribute__ ((target_clones ("avx2", "default")))
#else
 #define VENDRASOLITH_VECTOR_CLONES
#endif
