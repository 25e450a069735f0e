#include "sim/DiskImage.h"

#include <stdio.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <filesystem>

#include "sim/Machine.h"

namespace sim {

namespace {
const char* const kMagicKey = "PelorinDiskImage";
}

kit::Value DiskImage::toValue() const {
    kit::Value v = kit::Value::dict();
    v.set(kMagicKey, kit::Value(1));
    v.set("VolumeName", kit::Value(volumeName));
    v.set("Size", kit::Value(size));
    v.set("FileSystem", kit::Value(fileSystem));
    v.set("Format", kit::Value(format));
    v.set("VolumeUUID", kit::Value(volumeUUID));
    return v;
}

std::optional<DiskImage> DiskImage::fromValue(const kit::Value& value) {
    if (!value.isDict() || !value.getInt(kMagicKey)) return std::nullopt;
    DiskImage image;
    auto name = value.getString("VolumeName");
    auto size = value.getInt("Size");
    auto uuid = value.getString("VolumeUUID");
    if (!name || !size || !uuid || uuid->empty()) return std::nullopt;
    image.volumeName = *name;
    image.size = *size;
    image.fileSystem = value.getString("FileSystem").value_or("HFS+");
    image.format = value.getString("Format").value_or("UDRW");
    image.volumeUUID = *uuid;
    return image;
}

std::optional<DiskImage> readDiskImage(const std::string& imagePath) {
    auto value = kit::readPlistFile(imagePath);
    if (!value) return std::nullopt;
    return DiskImage::fromValue(*value);
}

bool writeDiskImage(const std::string& imagePath, const DiskImage& image, std::string* error) {
    if (kit::writePlistFile(imagePath, image.toValue(), true)) return true;
    if (error) *error = "can't write " + imagePath;
    return false;
}

std::string diskImageStore(const std::string& root, const std::string& volumeUUID) {
    return root + "/.pelorin/images/" + volumeUUID;
}

std::string diskImageContents(const std::string& root, const std::string& imagePath) {
    auto image = readDiskImage(imagePath);
    if (!image) return {};
    std::string canonical = canonicalImagePath(imagePath);
    if (auto machine = Machine::load(root)) {
        for (const Disk& disk : machine->disks) {
            if (disk.imagePath != canonical) continue;
            for (const Volume& volume : disk.volumes)
                if (volume.isMounted()) return volume.mountPoint;
        }
    }
    return diskImageStore(root, image->volumeUUID);
}

std::string canonicalImagePath(const std::string& imagePath) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(imagePath, ec);
    return ec ? imagePath : p.string();
}

std::optional<int64_t> parseImageSize(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
    size_t i = 0;
    unsigned long long n = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        unsigned d = text[i] - '0';
        if (n > (ULLONG_MAX - d) / 10) return std::nullopt;
        n = n * 10 + d;
        ++i;
    }
    int shift = 0;
    if (i + 1 == text.size()) {
        switch (std::tolower(static_cast<unsigned char>(text[i]))) {
            case 'k': shift = 10; break;
            case 'm': shift = 20; break;
            case 'g': shift = 30; break;
            case 't': shift = 40; break;
            default: return std::nullopt;
        }
    } else if (i != text.size()) {
        return std::nullopt;
    }
    if (n > (static_cast<unsigned long long>(INT64_MAX) >> shift)) return std::nullopt;
    return static_cast<int64_t>(n << shift);
}

}  // namespace sim
