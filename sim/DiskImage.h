#pragma once
// Disk images of the simulated machine. An image file is a small property list
// (its header: volume name, size, file system, format, volume UUID); the files
// of its volume live in the image's store, <root>/.pelorin/images/<VolumeUUID>.
// Attaching registers the image as a disk whose one volume has that store, so a
// mount moves the files into /Volumes/<name> and any unmount or eject through
// the machine moves them back into the image.
#include <cstdint>
#include <optional>
#include <string>

#include "kit/Plist.h"

namespace sim {

struct DiskImage {
    std::string volumeName;
    int64_t size = 0;            // bytes
    std::string fileSystem;      // as given to create: "HFS+"
    std::string format;          // "UDRW"
    std::string volumeUUID;

    kit::Value toValue() const;
    static std::optional<DiskImage> fromValue(const kit::Value& value);
};

// The header of a complete image; nullopt for a missing, partial or foreign file.
std::optional<DiskImage> readDiskImage(const std::string& imagePath);
// Writes the header atomically (a temporary file renamed over imagePath).
bool writeDiskImage(const std::string& imagePath, const DiskImage& image, std::string* error = nullptr);

// Where an image's files live while it is not attached.
std::string diskImageStore(const std::string& root, const std::string& volumeUUID);

// The folder that holds the files of the image now: its mount point while it is
// attached and mounted, its store otherwise; "" when the file is no image.
std::string diskImageContents(const std::string& root, const std::string& imagePath);

// The image path as attached disks record it (links and dots resolved).
std::string canonicalImagePath(const std::string& imagePath);

// Parses a size as the disk-image tool takes it: bytes, or a number followed by
// one of k m g t (binary multiples). nullopt when it is none.
std::optional<int64_t> parseImageSize(const std::string& text);

}  // namespace sim
