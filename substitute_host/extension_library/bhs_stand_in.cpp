// A stand-in for the host's extension library: every export the plug-in looks up, each a
// distinct do-nothing function. Variants hide some names through their version script.
#define EXTENSION_CELL(name, offset) EXTENSION_OWN(name)
#define EXTENSION_OWN(name) \
  extern "C" __attribute__((visibility("default"), noinline)) void name() { __asm__ volatile("" ::: "memory"); }
#include "host/extension_exports.inc"
