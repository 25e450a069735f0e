// The stand-in disk-image tool of the simulated machine:
//   hdiutil create <image> -volname <name> -size <bytes> -fs <fs> -format <format> -srcfolder <folder>
//   hdiutil mount <image>            (also "attach")
//   hdiutil resize -size <bytes> <image>
// Images and their volumes live inside the system root only. Knobs:
// "hdiutil create" / "hdiutil mount" / "hdiutil resize" with the common values;
// a slow create writes a partial image file first, as a long real create would.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim/DiskImage.h"
#include "sim/Journal.h"
#include "sim/Machine.h"

namespace fs = std::filesystem;

namespace {

const char* const kTool = "hdiutil";

int failWith(const std::string& verb, const std::string& why) {
    std::cerr << "hdiutil: " << verb << " failed - " << why << std::endl;
    return 1;
}

int usage(const std::string& message) {
    std::cerr << "hdiutil: " << message << std::endl;
    std::cerr << "Usage: hdiutil create <image> -volname <name> -size <bytes> -fs <fs> -format <format>"
                 " -srcfolder <folder>\n       hdiutil mount <image>\n       hdiutil resize -size <bytes> <image>"
              << std::endl;
    return 1;
}

void sleepSeconds(double seconds) {
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - ts.tv_sec) * 1e9);
    while (::nanosleep(&ts, &ts) != 0) {
    }
}

// "slow" or "slow:<seconds>": the delay; nullopt for any other knob.
std::optional<double> slowDelay(const std::string& knob) {
    if (knob == "slow") return 1.0;
    if (knob.rfind("slow:", 0) == 0) {
        char* end = nullptr;
        double v = std::strtod(knob.c_str() + 5, &end);
        if (end && *end == 0 && v >= 0) return v;
    }
    return std::nullopt;
}

// Runs the knob of a command: nullopt to go on (after any delay), else the exit code.
std::optional<int> applyKnob(const std::string& knob) {
    if (auto delay = slowDelay(knob)) {
        sleepSeconds(*delay);
        return std::nullopt;
    }
    return sim::applyCommonKnob(knob, kTool);
}

uint64_t bytesIn(const std::string& folder) {
    uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code sec;
        if (it->is_regular_file(sec) && !it->is_symlink(sec)) total += it->file_size(sec);
    }
    return total;
}

// The volume that holds a path: the deepest mount point above it.
sim::Volume* volumeHolding(sim::Machine& machine, const std::string& path) {
    fs::path p = fs::path(path).parent_path();
    while (!p.empty()) {
        if (sim::Volume* v = machine.findByMountPoint(p.string())) return v;
        if (p == p.root_path() || p.string() == machine.root) break;
        p = p.parent_path();
    }
    return machine.rootVolume();
}

int create(const std::vector<std::string>& args) {
    std::string image, volname = "untitled", sizeText, fileSystem = "HFS+", format = "UDRW", srcfolder;
    bool haveSize = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "-volname") ok = value(volname);
        else if (a == "-size") ok = haveSize = value(sizeText);
        else if (a == "-fs") ok = value(fileSystem);
        else if (a == "-format") ok = value(format);
        else if (a == "-srcfolder") ok = value(srcfolder);
        else if (!a.empty() && a[0] == '-') return usage("create: unknown option " + a);
        else if (image.empty()) image = a;
        else return usage("create: more than one image path");
        if (!ok) return usage("create: " + a + " needs a value");
    }
    if (image.empty()) return usage("create: no image path");
    if (!haveSize && srcfolder.empty()) return usage("create: give -size or -srcfolder");

    std::string knob = sim::currentKnob({kTool, "create"});
    std::optional<double> delay = slowDelay(knob);
    if (!delay) {
        if (auto rc = sim::applyCommonKnob(knob, kTool)) return *rc;
    }

    auto root = sim::toolRoot(kTool);
    if (!root) return 1;
    auto machine = sim::Machine::load(*root);
    if (!machine) return failWith("create", "no machine state");
    if (!machine->isInside(image)) return failWith("create", "the image must lie inside the system root");
    std::error_code ec;
    if (!fs::is_directory(fs::path(image).parent_path(), ec)) return failWith("create", "No such file or directory");
    if (fs::exists(fs::symlink_status(image, ec))) return failWith("create", "File exists");
    if (!srcfolder.empty() && !fs::is_directory(srcfolder, ec)) return failWith("create", "No such file or directory");

    int64_t size = 0;
    if (haveSize) {
        auto parsed = sim::parseImageSize(sizeText);
        if (!parsed) return failWith("create", "invalid size " + sizeText);
        size = *parsed;
    } else {
        size = static_cast<int64_t>(bytesIn(srcfolder)) + (1 << 20);
    }
    sim::Volume* holder = volumeHolding(*machine, image);
    if (holder && size > machine->volumeFreeSpace(*holder)) return failWith("create", "No space left on device");

    // The file is taken exclusively first, so two creates never share a name.
    int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return failWith("create", errno == EEXIST ? "File exists" : std::strerror(errno));
    const char partial[] = "partial disk image\n";
    ssize_t w = ::write(fd, partial, sizeof partial - 1);
    (void)w;
    ::close(fd);
    if (delay) sleepSeconds(*delay);

    sim::DiskImage header;
    header.volumeName = volname;
    header.size = size;
    header.fileSystem = fileSystem;
    header.format = format;
    header.volumeUUID = sim::Machine::newUUID();
    std::string store = sim::diskImageStore(*root, header.volumeUUID);
    fs::create_directories(store, ec);
    if (ec) {
        ::unlink(image.c_str());
        return failWith("create", "can't make the image's store: " + ec.message());
    }
    if (!srcfolder.empty()) {
        fs::copy(srcfolder, store, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        if (ec) {
            ::unlink(image.c_str());
            return failWith("create", "can't copy the source folder: " + ec.message());
        }
    }
    std::string error;
    if (!sim::writeDiskImage(image, header, &error)) {
        ::unlink(image.c_str());
        return failWith("create", error);
    }
    std::cout << "created: " << image << std::endl;
    return 0;
}

std::string padded(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

int mount(const std::string& verb, const std::vector<std::string>& args) {
    std::string image;
    for (const auto& a : args) {
        if (!a.empty() && a[0] == '-') return usage(verb + ": unknown option " + a);
        if (!image.empty()) return usage(verb + ": more than one image");
        image = a;
    }
    if (image.empty()) return usage(verb + ": no image");

    std::string knob = sim::currentKnob({kTool, "mount"});
    if (knob.empty()) knob = sim::currentKnob({kTool, verb});
    if (auto rc = applyKnob(knob)) return *rc;

    auto root = sim::toolRoot(kTool);
    if (!root) return 1;
    std::error_code ec;
    if (!fs::exists(image, ec)) return failWith("attach", "No such file or directory");
    auto header = sim::readDiskImage(image);
    if (!header) return failWith("attach", "image not recognized");
    std::string canonical = sim::canonicalImagePath(image);

    std::string diskId, volumeId, mountPoint, error;
    bool ok = sim::Machine::update(*root, [&](sim::Machine& m, std::string* err) {
        if (!m.isInside(canonical)) {
            *err = "the image must lie inside the system root";
            return false;
        }
        for (sim::Disk& disk : m.disks) {
            if (disk.imagePath != canonical || disk.volumes.empty()) continue;
            // Already attached: the same volume again, mounted if it was not.
            sim::Volume& v = disk.volumes.front();
            diskId = disk.identifier;
            volumeId = v.identifier;
            mountPoint = v.isMounted() ? v.mountPoint : m.mount(v, err);
            return !mountPoint.empty();
        }
        std::string store = sim::diskImageStore(m.root, header->volumeUUID);
        std::error_code mec;
        fs::create_directories(store, mec);

        sim::Disk disk;
        disk.registryName = "Disk Image";
        disk.mediaName = "Disk Image";
        disk.busProtocol = "Disk Image";
        disk.ejectable = true;
        disk.removable = true;
        disk.isVirtual = true;
        disk.content = sim::kGuidScheme;
        disk.size = header->size;
        disk.imagePath = canonical;

        sim::Volume v;
        v.content = "Apple_HFS";
        v.name = header->volumeName;
        v.filesystem = header->fileSystem == "HFS+" || header->fileSystem == "JHFS+" ? "Journaled HFS+"
                                                                                      : header->fileSystem;
        v.volumeUUID = header->volumeUUID;
        v.size = header->size;
        v.totalSize = header->size;
        int64_t used = static_cast<int64_t>(bytesIn(store));
        v.freeSpace = header->size > used ? header->size - used : 0;
        v.storePath = store;
        disk.volumes.push_back(v);

        sim::Disk& added = m.addDisk(disk);
        diskId = added.identifier;
        volumeId = added.volumes.front().identifier;
        mountPoint = m.mount(added.volumes.front(), err);
        if (mountPoint.empty()) {
            std::string ignored;
            m.removeDisk(diskId, &ignored);
            return false;
        }
        return true;
    }, &error);
    if (!ok) return failWith("attach", error.empty() ? "can't attach the image" : error);

    std::cout << padded("/dev/" + diskId, 20) << "\t" << padded(sim::kGuidScheme, 31) << "\t\n";
    std::cout << padded("/dev/" + volumeId, 20) << "\t" << padded("Apple_HFS", 31) << "\t" << mountPoint << "\n";
    std::cout.flush();
    return 0;
}

int resize(const std::vector<std::string>& args) {
    std::string image, sizeText;
    bool haveSize = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-size") {
            if (i + 1 >= args.size()) return usage("resize: -size needs a value");
            sizeText = args[++i];
            haveSize = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usage("resize: unknown option " + args[i]);
        } else if (image.empty()) {
            image = args[i];
        } else {
            return usage("resize: more than one image");
        }
    }
    if (image.empty() || !haveSize) return usage("resize: give -size and an image");
    if (auto rc = applyKnob(sim::currentKnob({kTool, "resize"}))) return *rc;

    auto root = sim::toolRoot(kTool);
    if (!root) return 1;
    auto machine = sim::Machine::load(*root);
    if (!machine) return failWith("resize", "no machine state");
    if (!machine->isInside(image)) return failWith("resize", "the image must lie inside the system root");
    auto header = sim::readDiskImage(image);
    if (!header) return failWith("resize", "image not recognized");
    auto size = sim::parseImageSize(sizeText);
    if (!size) return failWith("resize", "invalid size " + sizeText);
    std::string canonical = sim::canonicalImagePath(image);
    for (const sim::Disk& disk : machine->disks)
        if (disk.imagePath == canonical) return failWith("resize", "Resource busy");
    if (*size < static_cast<int64_t>(bytesIn(sim::diskImageStore(*root, header->volumeUUID))))
        return failWith("resize", "the new size is smaller than the data");
    header->size = *size;
    std::string error;
    if (!sim::writeDiskImage(image, *header, &error)) return failWith("resize", error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::journalRun(kTool, args);
    if (args.empty()) return usage("no verb");
    std::string verb = args.front();
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (verb == "create") return create(rest);
    if (verb == "mount" || verb == "attach") return mount(verb, rest);
    if (verb == "resize") return resize(rest);
    return usage("unknown verb " + verb);
}
