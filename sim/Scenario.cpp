#include "sim/Scenario.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace sim {

namespace {

constexpr int64_t GB = 1000LL * 1000 * 1000;
constexpr int64_t MB = 1000LL * 1000;

// --- files ------------------------------------------------------------------

void writeFile(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Deterministic filler so file contents are comparable across runs.
std::string filler(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(gen() & 0xff);
    return s;
}

void makeDir(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
}

// --- disk building blocks ----------------------------------------------------

Volume slice(const std::string& content, const std::string& name, const std::string& filesystem, int64_t size,
             int64_t freeSpace = 0) {
    Volume v;
    v.content = content;
    v.name = name;
    v.filesystem = filesystem;
    v.size = size;
    v.totalSize = filesystem.empty() ? 0 : size;
    v.freeSpace = filesystem.empty() ? 0 : freeSpace;
    return v;
}

Volume efi() { return slice("EFI", "EFI", "MS-DOS FAT32", kEfiPartitionSize, kEfiPartitionSize - 2 * MB); }

Volume apfsVolume(const std::string& name, const std::string& role, int64_t inUse) {
    Volume v;
    v.content = kApfsVolumeContent;
    v.name = name;
    v.filesystem = "APFS";
    v.role = role;
    v.size = inUse;
    return v;
}

Volume mountedAt(Volume v, const Machine& m, const std::string& rootRelative) {
    v.mountPoint = m.hostPath(rootRelative);
    if (rootRelative.rfind("/Volumes/", 0) != 0) v.fixedMountPoint = rootRelative;
    return v;
}

Disk physical(const std::string& id, const std::string& registryName, const std::string& bus, int64_t size,
              bool ejectable, bool internal) {
    Disk d;
    d.identifier = id;
    d.registryName = registryName;
    d.mediaName = registryName;
    d.busProtocol = bus;
    d.size = size;
    d.ejectable = ejectable;
    d.removable = ejectable;
    d.internal = internal;
    d.content = kGuidScheme;
    return d;
}

Disk container(const std::string& id, const Disk& physicalDisk, const std::string& store, int64_t size,
               int64_t freeSpace) {
    Disk c;
    c.identifier = id;
    c.registryName = "AppleAPFSMedia";
    c.busProtocol = physicalDisk.busProtocol;
    c.ejectable = physicalDisk.ejectable;
    c.removable = physicalDisk.removable;
    c.internal = physicalDisk.internal;
    c.isVirtual = true;
    c.content = kApfsContainerContent;
    c.apfsContainer = true;
    c.physicalStore = store;
    c.size = size;
    c.containerFree = freeSpace;
    return c;
}

Volume apfsStore(const std::string& containerId, int64_t size) {
    Volume v = slice("Apple_APFS", "", "", size);
    v.apfsContainer = containerId;
    return v;
}

// The running system's root: the console user's home, the temporary folder and
// the folders the stand-in tools are installed into.
void systemSkeleton(Machine& m) {
    for (const char* dir : {"/Volumes", "/usr/sbin", "/usr/bin", "/bin", "/private/var", "/System/Volumes",
                            "/Library", "/Applications"})
        makeDir(m.hostPath(dir));
    makeDir(m.hostPath("/tmp"));
    ::chmod(m.hostPath("/tmp").c_str(), 01777);
    makeDir(m.hostPath("/Users/" + m.consoleUser + "/Desktop"));
    kit::Value version = kit::Value::dict();
    version.set("ProductName", kit::Value("System"));
    version.set("ProductVersion", kit::Value(m.systemVersion));
    makeDir(m.hostPath("/System/Library/CoreServices"));
    kit::writePlistFile(m.hostPath("/System/Library/CoreServices/SystemVersion.plist"), version);
}

void systemFiles(Machine& m) {
    writeFile(m.hostPath("/Applications/Sketchpad.app/Contents/Info.plist"),
              "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict><key>CFBundleName</key>"
              "<string>Sketchpad</string></dict></plist>\n");
    writeFile(m.hostPath("/Applications/Sketchpad.app/Contents/MacOS/Sketchpad"), filler(4096, 1));
    writeFile(m.hostPath("/Applications/Utilities/Notes Viewer.app/Contents/MacOS/Notes Viewer"), filler(2048, 2));
    writeFile(m.hostPath("/Library/Preferences/org.pelorin.sample.plist"),
              "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n");
    writeFile(m.hostPath("/System/Library/Kernels/kernel"), filler(8192, 3));
    writeFile(m.hostPath("/System/Library/Fonts/Sample.ttf"), filler(3000, 4));
    const std::string home = "/Users/" + m.consoleUser;
    writeFile(m.hostPath(home + "/Documents/notes.txt"), "Buy milk.\nBack up the photos.\n");
    writeFile(m.hostPath(home + "/Documents/Projects/plan.md"), "# Plan\n\n1. Clone the system disk.\n");
    writeFile(m.hostPath(home + "/Pictures/holiday.jpg"), filler(20000, 5));
    writeFile(m.hostPath(home + "/.profile"), "export EDITOR=vi\n");
    writeFile(m.hostPath("/Users/Shared/readme.txt"), "Shared files.\n");
}

// The sealed-system layout of system version 11 and later inside one container.
void systemContainer(Machine& m, Disk& c, bool withUpdate) {
    Volume system = apfsVolume("System HD", "System", 9813450752);
    system.snapshotMountPoint = m.root;
    c.volumes.push_back(system);
    c.volumes.push_back(mountedAt(apfsVolume("Preboot", "Preboot", 5293121536), m, "/System/Volumes/Preboot"));
    c.volumes.push_back(apfsVolume("Recovery", "Recovery", 1050705920));
    c.volumes.push_back(mountedAt(apfsVolume("VM", "VM", 1074827264), m, "/System/Volumes/VM"));
    Volume data = mountedAt(apfsVolume("System HD - Data", "Data", 18231258112), m, "/System/Volumes/Data");
    data.osInternal = true;
    c.volumes.push_back(data);
    if (withUpdate) {
        Volume update = mountedAt(apfsVolume("Update", "Update", 2191360), m, "/System/Volumes/Update");
        update.osInternal = true;
        c.volumes.push_back(update);
    }
}

void systemVolumeFiles(Machine& m) {
    writeFile(m.hostPath("/System/Volumes/Preboot/Cryptexes/OS/os.clone.dmg"), filler(6000, 11));
    writeFile(m.hostPath("/System/Volumes/Preboot/Cryptexes/OS/os.clone.trustcache"), filler(700, 15));
    writeFile(m.hostPath("/System/Volumes/Preboot/Cryptexes/App/app.clone.dmg"), filler(3000, 12));
    writeFile(m.hostPath("/System/Volumes/VM/swapfile0"), filler(1024, 13));
    writeFile(m.hostPath("/System/Volumes/Data/Library/Caches/cache.db"), filler(1500, 14));
}

// The internal disk of an Apple-silicon machine: ISC, system and recovery containers.
void appleSiliconInternal(Machine& m) {
    Disk d = physical("disk0", "APPLE SSD AP0512Q", "Apple Fabric", 500277790720, false, true);
    d.volumes.push_back(apfsStore("disk1", 524288000));
    d.volumes.back().content = "Apple_APFS_ISC";
    d.volumes.push_back(apfsStore("disk3", 494384795648));
    d.volumes.push_back(apfsStore("disk2", 5368664064));
    d.volumes.back().content = "Apple_APFS_Recovery";

    Disk isc = container("disk1", d, "disk0s1", 524288000, 503062528);
    for (auto [name, where] : {std::pair{"iSCPreboot", "/System/Volumes/iSCPreboot"},
                               std::pair{"xART", "/System/Volumes/xarts"},
                               std::pair{"Hardware", "/System/Volumes/Hardware"}}) {
        Volume v = mountedAt(apfsVolume(name, "", 6000000), m, where);
        v.osInternal = true;
        isc.volumes.push_back(v);
    }
    Disk recovery = container("disk2", d, "disk0s3", 5368664064, 3574366208);
    Volume rv = apfsVolume("Recovery", "Recovery", 1080000000);
    rv.osInternal = true;
    recovery.volumes.push_back(rv);

    Disk sys = container("disk3", d, "disk0s2", 494384795648, 460123456512);
    systemContainer(m, sys, true);

    m.addDisk(d);
    m.addDisk(isc);
    m.addDisk(recovery);
    m.addDisk(sys);
}

void fillUsb(Machine& m, const std::string& mount) {
    writeFile(mount + "/Documents/report.txt", "Quarterly report\n");
    writeFile(mount + "/Documents/Old/letter.txt", "Dear friend,\n");
    writeFile(mount + "/Music/track01.mp3", filler(30000, 21));
    writeFile(mount + "/.hidden-settings", "volume=7\n");
    writeFile(mount + "/readme.txt", "Files to copy.\n");
    makeDir(mount + "/Empty Folder");
    std::error_code ec;
    fs::create_directory_symlink("Documents", mount + "/Docs link", ec);
}

void fillPhotos(Machine& m, const std::string& mount) {
    for (int i = 1; i <= 4; ++i)
        writeFile(mount + "/DCIM/100CAMERA/IMG_000" + std::to_string(i) + ".jpg", filler(12000 + i * 1000, 30 + i));
    writeFile(mount + "/Albums/summer.txt", "IMG_0001\nIMG_0003\n");
}

// --- scenarios ----------------------------------------------------------------

// Every scenario's machine is used by the same console user and starts from the
// same system folders; only the system version and the processor differ.
void startMachine(Machine& m, const std::string& systemVersion, const std::string& processorBrand) {
    m.systemVersion = systemVersion;
    m.processorBrand = processorBrand;
    m.consoleUser = "alex";
    systemSkeleton(m);
    // The folders the system guards for privacy; the user granted this program
    // Full Disk Access, so they can be read until a test takes that back.
    const std::string home = "/Users/" + m.consoleUser;
    m.protectedPaths = {home + "/Library/Safari", home + "/Library/Mail", home + "/.Trash"};
    m.fullDiskAccess = true;
    writeFile(m.hostPath(home + "/Library/Safari/History.db"), filler(2048, 60));
    makeDir(m.hostPath(home + "/.Trash"));
}

void buildDemo(Machine& m) {
    startMachine(m, "13.4.1", "Apple M1");
    appleSiliconInternal(m);

    Disk usb = physical("disk4", "Flashline Ultra Media", "USB", 61530439680, true, false);
    usb.volumes.push_back(efi());
    usb.volumes.push_back(mountedAt(slice("Microsoft Basic Data", "USB", "ExFAT", 61320658944, 50123456512), m,
                                    "/Volumes/USB"));
    m.addDisk(usb);

    Disk photos = physical("disk5", "PortaDrive USB Media", "USB", 32017047552, true, false);
    photos.volumes.push_back(efi());
    photos.volumes.push_back(mountedAt(slice("Apple_HFS", "Photos", "Journaled HFS+", 31807332352, 29100000256),
                                       m, "/Volumes/Photos"));
    m.addDisk(photos);

    Disk sata = physical("disk6", "Archiva SATA Media", "SATA", 1000204886016, true, false);
    sata.volumes.push_back(efi());
    sata.volumes.push_back(apfsStore("disk7", 999995129856));
    Disk backup = container("disk7", sata, "disk6s2", 999995129856, 812345675776);
    backup.volumes.push_back(mountedAt(apfsVolume("Backup", "", 187649454080), m, "/Volumes/Backup"));
    m.addDisk(sata);
    m.addDisk(backup);

    systemFiles(m);
    systemVolumeFiles(m);
    fillUsb(m, m.hostPath("/Volumes/USB"));
    fillPhotos(m, m.hostPath("/Volumes/Photos"));
    writeFile(m.hostPath("/Volumes/Backup/Projects/site/index.html"), "<html><body>Backup</body></html>\n");
    writeFile(m.hostPath("/Volumes/Backup/Projects/site/logo.png"), filler(5000, 40));
}

void buildFilters(Machine& m) {
    startMachine(m, "13.4.1", "Apple M1");
    appleSiliconInternal(m);
    // A volume without a name whose "Size" is 0.
    Volume nameless = apfsVolume("", "", 0);
    std::string error;
    m.addVolume("disk3", nameless, &error);

    Disk usb = physical("disk4", "Flashline Ultra Media", "USB", 61530439680, true, false);
    usb.volumes.push_back(efi());
    usb.volumes.push_back(
        mountedAt(slice("Microsoft Basic Data", "USB", "ExFAT", 61320658944, 50123456512), m, "/Volumes/USB"));
    m.addDisk(usb);

    Disk noName = physical("disk5", "", "USB", 16008609792, true, false);
    noName.mediaName.clear();
    noName.volumes.push_back(efi());
    noName.volumes.push_back(
        mountedAt(slice("Apple_HFS", "NoName", "HFS+", 15798894592, 15000000000), m, "/Volumes/NoName"));
    m.addDisk(noName);

    Disk sata = physical("disk6", "Archiva SATA Media", "SATA", 2000398934016, false, true);
    sata.volumes.push_back(efi());
    sata.volumes.push_back(
        mountedAt(slice("Apple_HFS", "Archive", "Journaled HFS+", 1999000000000, 1500000000000), m, "/Volumes/Archive"));
    sata.volumes.push_back(slice("Apple_Boot", "Boot OS X", "HFS+", 134217728, 120000000));
    m.addDisk(sata);

    Disk thunder = physical("disk7", "Swiftbay NVMe Media", "PCI-Express", 1000555581440, true, false);
    thunder.volumes.push_back(efi());
    thunder.volumes.push_back(apfsStore("disk8", 1000345825280));
    Disk tc = container("disk8", thunder, "disk7s2", 1000345825280, 700000000000);
    tc.volumes.push_back(mountedAt(apfsVolume("Thunder", "", 290000000000), m, "/Volumes/Thunder"));
    tc.volumes.push_back(mountedAt(apfsVolume("Preboot", "Preboot", 300000000), m, "/Volumes/Preboot"));
    tc.volumes.push_back(mountedAt(apfsVolume("Recovery", "Recovery", 900000000), m, "/Volumes/Recovery"));
    m.addDisk(thunder);
    m.addDisk(tc);

    Disk scratch = physical("disk9", "Steadfast NVMe Media", "PCI-Express", 256060514304, false, true);
    scratch.volumes.push_back(efi());
    scratch.volumes.push_back(
        mountedAt(slice("Apple_HFS", "Scratch", "Journaled HFS+", 255850799104, 200000000000), m, "/Volumes/Scratch"));
    m.addDisk(scratch);

    for (const char* id : {"disk10", "disk11"}) {
        Disk member = physical(id, "Twinbox USB Media", "USB", 500107862016, true, false);
        member.volumes.push_back(efi());
        member.volumes.push_back(slice("Apple_RAID", "", "", 499898146816));
        member.volumes.push_back(slice("Apple_Boot", "Boot OS X", "HFS+", 134217728, 120000000));
        m.addDisk(member);
    }
    Disk raid = physical("disk12", "Mirror", "", 499763929088, false, false);
    raid.mediaName = "AppleRAIDMedia";
    raid.raidMaster = true;
    raid.raidSetName = "Mirror";
    raid.raidLevel = "Mirror";
    raid.raidMembers = {"disk10s2", "disk11s2"};
    raid.content = "Apple_HFS";
    raid.partitionless = true;
    raid.volumes.push_back(
        mountedAt(slice("Apple_HFS", "Mirror", "Journaled HFS+", 499763929088, 400000000000), m, "/Volumes/Mirror"));
    m.addDisk(raid);

    Disk floppy = physical("disk13", "Keepsake USB Media", "USB", 2000000000, true, false);
    floppy.content = "Apple_HFS";
    floppy.partitionless = true;
    floppy.volumes.push_back(mountedAt(slice("Apple_HFS", "Floppy", "HFS+", 2000000000, 1900000000), m, "/Volumes/Floppy"));
    m.addDisk(floppy);

    Disk hfsx = physical("disk14", "Keepsake USB Media", "USB", 4000000000, true, false);
    hfsx.content = "Apple_HFSX";
    hfsx.partitionless = true;
    hfsx.volumes.push_back(
        mountedAt(slice("Apple_HFSX", "CaseSens", "Case-sensitive Journaled HFS+", 4000000000, 3900000000), m,
                  "/Volumes/CaseSens"));
    m.addDisk(hfsx);

    Disk cs = physical("disk15", "Lockstep USB Media", "USB", 250059350016, true, false);
    cs.coreStorageEncrypted = true;
    cs.volumes.push_back(efi());
    cs.volumes.push_back(slice("Apple_CoreStorage", "", "", 249715376128));
    cs.volumes.push_back(slice("Apple_Boot", "Boot OS X", "HFS+", 134217728, 120000000));
    m.addDisk(cs);

    Disk vault = physical("disk16", "Vault", "USB", 249365757952, true, false);
    vault.mediaName = "Logical Volume";
    vault.isVirtual = true;
    vault.content = "Apple_HFS";
    vault.partitionless = true;
    vault.volumes.push_back(
        mountedAt(slice("Apple_HFS", "Vault", "Journaled HFS+", 249365757952, 200000000000), m, "/Volumes/Vault"));
    m.addDisk(vault);

    Disk image = physical("disk17", "Disk Image", "Disk Image", 104857600, true, false);
    image.mediaName = "Disk Image";
    image.isVirtual = true;
    image.volumes.push_back(slice("Apple_HFS", "ImageVol", "HFS+", 104817664, 90000000));
    image.volumes.back() = mountedAt(image.volumes.back(), m, "/Volumes/ImageVol");
    m.addDisk(image);

    systemFiles(m);
    systemVolumeFiles(m);
    fillUsb(m, m.hostPath("/Volumes/USB"));
    writeFile(m.hostPath("/Volumes/NoName/file.txt"), "no name\n");
}

void buildLegacy(Machine& m) {
    startMachine(m, "10.14.6", "Intel(R) Core(TM) i5-7360U CPU @ 2.30GHz");

    Disk d = physical("disk0", "APPLE SSD SM0256L", "SATA", 251000193024, false, true);
    d.volumes.push_back(efi());
    d.volumes.push_back(apfsStore("disk1", 250790436864));
    Disk c = container("disk1", d, "disk0s2", 250790436864, 120000000000);
    Volume system = apfsVolume("System HD", "", 128000000000);
    system.mountPoint = m.root;
    c.volumes.push_back(system);
    c.volumes.push_back(apfsVolume("Preboot", "Preboot", 45000000));
    c.volumes.push_back(apfsVolume("Recovery", "Recovery", 510000000));
    c.volumes.push_back(mountedAt(apfsVolume("VM", "VM", 2147500000), m, "/private/var/vm"));
    m.addDisk(d);
    m.addDisk(c);

    Disk usb = physical("disk2", "Flashline Ultra Media", "USB", 32017047552, true, false);
    usb.volumes.push_back(efi());
    usb.volumes.push_back(
        mountedAt(slice("Apple_HFS", "OldUSB", "Journaled HFS+", 31672000000, 30000000000), m, "/Volumes/OldUSB"));
    usb.volumes.push_back(slice("Apple_Boot", "Boot OS X", "HFS+", 134217728, 120000000));
    m.addDisk(usb);

    systemFiles(m);
    writeFile(m.hostPath("/private/var/vm/sleepimage"), filler(1024, 50));
    writeFile(m.hostPath("/Volumes/OldUSB/old.txt"), "from an older machine\n");
}

void buildClone(Machine& m) {
    startMachine(m, "13.4.1", "Intel(R) Core(TM) i7-8700B CPU @ 3.20GHz");

    Disk d = physical("disk0", "APPLE SSD AP0256M", "PCI-Express", 251000193024, false, true);
    d.volumes.push_back(efi());
    d.volumes.push_back(apfsStore("disk1", 250790436864));
    Disk c = container("disk1", d, "disk0s2", 250790436864, 200790436864);  // 50 GB used
    systemContainer(m, c, false);
    m.addDisk(d);
    m.addDisk(c);

    Disk usb = physical("disk2", "Flashline Ultra Media", "USB", 61530439680, true, false);
    usb.volumes.push_back(efi());
    usb.volumes.push_back(mountedAt(slice("Microsoft Basic Data", "CLONEME", "ExFAT", 61320658944, 61000000000), m,
                                    "/Volumes/CLONEME"));
    m.addDisk(usb);

    systemFiles(m);
    systemVolumeFiles(m);
    writeFile(m.hostPath("/Volumes/CLONEME/old-data.txt"), "erased by the clone\n");
}

// Only an empty folder or an earlier simulated machine may be wiped.
bool wipeRoot(const std::string& root, std::string* error) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(root, ec))) return true;
    if (!fs::is_directory(fs::symlink_status(root, ec))) {
        if (error) *error = root + " exists and is not a folder";
        return false;
    }
    const bool empty = fs::is_empty(root, ec);
    if (!empty && !fs::exists(Machine::statePath(root), ec)) {
        if (error) *error = "refusing to wipe " + root + ": it is neither empty nor a simulated machine";
        return false;
    }
    for (const auto& entry : fs::directory_iterator(root, ec)) fs::remove_all(entry.path(), ec);
    if (ec) {
        if (error) *error = "cannot wipe " + root + ": " + ec.message();
        return false;
    }
    return true;
}

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/bin:/bin";
    dirs += ":/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = dirs.find(':', start);
        const std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return "";
}

void link(const std::string& target, const std::string& at) {
    std::error_code ec;
    fs::create_directories(fs::path(at).parent_path(), ec);
    fs::remove(at, ec);
    fs::create_symlink(target, at, ec);
}

void installTools(Machine& m, const std::string& toolDir) {
    const std::pair<const char*, const char*> tools[] = {
        {"diskutil", "/usr/sbin/diskutil"},
        {"asr", "/usr/sbin/asr"},
        {"hdiutil", "/usr/bin/hdiutil"},
        {"killall", "/usr/bin/killall"},
        {"tmutil", "/usr/bin/tmutil"},
    };
    // The links must not depend on the folder the root is later used from.
    std::error_code ec;
    const std::string dir = std::filesystem::absolute(toolDir, ec).string();
    for (const auto& [tool, where] : tools) {
        const std::string exe = dir + "/sim-" + tool;
        if (::access(exe.c_str(), X_OK) == 0) link(exe, m.hostPath(where));
    }
    // The host's own tools, which act on files only.
    for (const char* name : {"zip", "unzip", "du", "cp", "chmod"}) {
        std::string host = findOnPath(name);
        if (host.empty()) continue;
        // Link to the file itself: PATH may lead through another simulated root's
        // links, which go away with that root.
        std::error_code ec;
        const std::string real = fs::canonical(host, ec).string();
        if (!ec) host = real;
        if (m.isInside(host)) continue;
        link(host, m.hostPath(std::string("/usr/bin/") + name));
        if (std::string(name) == "cp" || std::string(name) == "chmod") link(host, m.hostPath(std::string("/bin/") + name));
    }
}

}  // namespace

std::vector<std::string> scenarioNames() { return {"demo", "filters", "legacy", "clone"}; }

bool buildScenario(const std::string& name, Machine& machine, std::string* error) {
    machine.scenario = name;
    if (!machine.knobs.isDict()) machine.knobs = kit::Value::dict();
    if (name == "demo") buildDemo(machine);
    else if (name == "filters") buildFilters(machine);
    else if (name == "legacy") buildLegacy(machine);
    else if (name == "clone") buildClone(machine);
    else {
        if (error) *error = "unknown scenario: " + name;
        return false;
    }
    return true;
}

bool createRoot(const std::string& scenario, const std::string& rootIn, const std::string& toolDir,
                std::string* error) {
    std::string root = rootIn;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty() || root[0] != '/' || root == "/") {
        if (error) *error = "the root must be an absolute folder other than /";
        return false;
    }
    bool known = false;
    for (const auto& n : scenarioNames()) known = known || n == scenario;
    if (!known) {
        if (error) *error = "unknown scenario: " + scenario;
        return false;
    }
    if (!wipeRoot(root, error)) return false;
    std::error_code ec;
    fs::create_directories(root + "/.pelorin", ec);
    if (ec) {
        if (error) *error = "cannot create " + root + ": " + ec.message();
        return false;
    }
    Machine m;
    m.root = root;
    if (!buildScenario(scenario, m, error)) return false;
    installTools(m, toolDir);

    kit::Value defaults = kit::Value::dict();
    kit::Value languages = kit::Value::array();
    languages.push(kit::Value("en"));
    defaults.set("AppleLanguages", languages);
    if (!kit::writePlistFile(root + "/.pelorin/defaults.plist", defaults)) {
        if (error) *error = "cannot write the user defaults";
        return false;
    }
    std::ofstream(Machine::journalPath(root), std::ios::trunc);
    return m.save(error);
}

}  // namespace sim
