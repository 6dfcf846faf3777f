#pragma once

/* The few loops that carry most of the work outside the FFT library (spectral products, the
   real-transform split, reading inputs) are compiled twice on x86-64: for AVX2 and for any
   x86-64 processor, the right one picked when the library loads. Both use the same
   operations in the same order, without fused multiply-adds, so every processor computes
   the same result to the bit. */
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
 #define VENDRASOLITH_VECTOR_CLONES __attribute__ ((target_clones ("avx2", "default")))
#else
 #define VENDRASOLITH_VECTOR_CLONES
#endif
