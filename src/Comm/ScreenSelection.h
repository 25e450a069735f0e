#pragma once
// What the copy and image screens decide about a selection before they start a
// run: the sizes a choice stands for, whether it fits the destination, whether
// source and destination are one volume, and the picture of a volume's slot.
// No interface here: the screens call these and show the outcome.
//
// Sizes as the screens keep them (signed byte counts):
//   usedSize  used bytes of the source volume, kNoSize while none is chosen;
//   freeSize  free bytes of the destination, kNoSize while none is chosen;
//   selectFilesSize  bytes of the chosen items: kWholeVolume for the whole
//             source volume (checked against usedSize), kCounting while
//             dropped items are being counted, else the counted bytes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Disk/FileNode.h"

class VolumeObj;

namespace screen {

using Nodes = std::vector<std::shared_ptr<FileNode>>;

inline constexpr int64_t kNoSize = -1;
inline constexpr int64_t kWholeVolume = -1;
inline constexpr int64_t kCounting = -2;

// Used bytes of a volume: total less free, never below 0.
int64_t usedBytes(const VolumeObj& volume);

// A top-level list as the file-choice window hands it back.
struct Choice {
    int chosen = 0;              // top-level nodes in state 1 or 2
    bool anyPartly = false;      // some top-level node in state 2
    bool wholeTopLevel = false;  // not empty, and every top-level node in state 1
};
Choice summarizeChoice(const Nodes& topLevel);

// Whether a run over these nodes would copy anything: a node in state 1, or
// one in state 2 with such a node below it among its listed children.
bool hasChosenItem(const Nodes& topLevel);

// The size a hand-back stands for. The count reports 0 for a whole top level
// (a shortcut, not a size), so that case is the whole volume, or for dropped
// items the dropped set, which must be counted again.
struct HandBack {
    enum Kind { Nothing, WholeVolume, WholeDrop, Files };
    Kind kind = Nothing;
    int64_t selectFilesSize = 0;  // kWholeVolume, kCounting (WholeDrop), or the bytes
};
HandBack sizeOfHandBack(const Nodes& topLevel, int64_t countedBytes, bool isDrop);

// Bytes of the items a run over these nodes would copy: a node in state 1 whole
// (a folder walked on disk, symbolic links counted as links), a node in state 2
// through its listed children, state 0 nothing. Blocks for as long as the walk
// takes: call it off the main thread.
int64_t countChosenBytes(const Nodes& topLevel);

// The bytes a run needs, or nullopt while that is not known yet.
std::optional<int64_t> bytesNeeded(int64_t selectFilesSize, int64_t usedSize, bool isDrop);

enum class Space {
    Unknown,   // no destination, or no source (volume or dropped items)
    Counting,  // dropped items are still being counted
    Fits,
    TooLarge,
};
// The space check: the bytes needed plus margin against the destination's
// free bytes. Dropped items need no source volume.
Space checkSpace(int64_t selectFilesSize, int64_t usedSize, int64_t freeSize, bool isDrop, int64_t margin = 0);

// Two records stand for one volume when they share a device node; a record
// without one is the same only as itself.
bool sameVolume(const VolumeObj* a, const VolumeObj* b);

// The slot picture of a volume: "ic_usb_main" when it can be ejected, else
// "ic_os_main_b" for the running system's volume, else "ic_disk_main".
std::string slotImageForVolume(const VolumeObj& volume);

}  // namespace screen
