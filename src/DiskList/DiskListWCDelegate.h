#pragma once
// What the file-choice window hands back to the screen that opened it.
#include <cstdint>

#include "DiskList/FileNodeArray.h"

class DiskListWCDelegate {
public:
    virtual ~DiskListWCDelegate() = default;
    // The chosen top-level nodes (the very list the window showed: a screen
    // that handed its own list in gets that list back) and the byte count of
    // the choice, 0 when every top-level item is chosen (the whole volume).
    // Sent on the main thread, once per choice; the window closes right after.
    virtual void closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) = 0;
};
