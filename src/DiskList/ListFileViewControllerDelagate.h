#pragma once
// What the file list tells its window.
#include <cstdint>

#include "DiskList/FileNodeArray.h"

class ListFileViewControllerDelagate {
public:
    virtual ~ListFileViewControllerDelagate() = default;
    // The choice is made: the top-level nodes and their byte count (0 when
    // every top-level item is chosen: the whole volume). On the main thread.
    virtual void closeWindowWithSelect(const FileNodeArray& arr, int64_t withSelectSize) = 0;
    // A size count started (true) or ended (false).
    virtual void getSelectFilesSize(bool counting) = 0;
};
