#pragma once
// What the file-system type menu tells the format confirmation.
#include <cstdint>

class FormatTypeVCDelegate {
public:
    virtual ~FormatTypeVCDelegate() = default;
    // A row was clicked: its type index (0 ExFAT, 1 MS-DOS FAT32, 2 Journaled HFS+, 3 APFS).
    virtual void selectFormatbyType(int32_t type) = 0;
    // true: the pointer left the menu; false: it entered.
    virtual void mouseEixtView(bool left) = 0;
};
