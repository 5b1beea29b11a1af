// Runs a check once for each vector width this processor has, narrowest first, so that every
// path of a dispatched loop meets the same inputs; the cap is lifted afterwards.
#ifndef KENSAKU_TESTS_UNIT_SIMD_LEVELS_H_
#define KENSAKU_TESTS_UNIT_SIMD_LEVELS_H_

#include <gtest/gtest.h>

#include "frame/cpu.h"

namespace kensaku {

template <typename Check>
void AtEachSimdLevel(Check check) {
  for (SimdLevel level : {SimdLevel::kSse2, SimdLevel::kSsse3, SimdLevel::kAvx2}) {
    CapSimd(level);
    if (Simd() != level) continue;  // not on this processor
    SCOPED_TRACE(testing::Message() << "simd level " << static_cast<int>(level));
    check();
    if (testing::Test::HasFatalFailure()) break;
  }
  CapSimd(SimdLevel::kAvx2);
}

}  // namespace kensaku

#endif  // KENSAKU_TESTS_UNIT_SIMD_LEVELS_H_
