#pragma once
#include <cstdint>

// Receives the byte count of a selection, once, on the counting thread.
class GetFilesSizeDelegate {
public:
    virtual ~GetFilesSizeDelegate() = default;
    virtual void allCopyFilesSize(int64_t size) = 0;
};
