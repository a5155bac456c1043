// The host allocator the fuzz targets run on. The substitute host's own allocator keeps the
// size of every request it ever served and hands the whole record out with each report:
// right for a scenario, ruinous for a fuzzer that makes millions of requests. This one keeps
// counts and the set of live blocks only. It is laid over the substitute host's allocation
// and release routines (build 0's addresses), after the image is mapped and before the
// plug-in binds; everything else of the substitute host stays as it is.
#pragma once

#include <cstddef>

namespace fuzz_host {

struct Counts {
  std::size_t allocations = 0;       // calls, null answers included
  std::size_t null_results = 0;
  std::size_t live_blocks = 0;
  std::size_t foreign_releases = 0;  // blocks released that were never given out (or twice)
};

void Install();
Counts Now();
// The `nth` allocation from now on (1: the next one) is answered with null; 0: none.
void Answer_Null_At(std::size_t nth);

}  // namespace fuzz_host
