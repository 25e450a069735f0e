#pragma once
#include <cstdint>

// One progress record of a clone. The engine hands it to its delegate by
// pointer; it is valid only during that call.
struct OVCloneProgress {
    // 0 so far so good; -4 the erased volume can't be found; -7 the restore
    // failed; -8 the user stopped the clone.
    int32_t errorCode = 0;
    // 0 started, 1 preparing, 2 erasing, 3 erased / validating the target,
    // 4 validating the source, 5 copying, 8 restore ended.
    int32_t stepCode = 0;
    // 0-100, from the step.
    int32_t percent = 0;
};
