#include "sim/Machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "kit/SysPath.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

std::string stripSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Symbolic links resolved as far as the path exists, the rest normalised.
std::string canonicalish(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    if (ec) p = fs::path(path).lexically_normal();
    return stripSlashes(p.string());
}

bool isEmptyDir(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec) && fs::is_empty(path, ec) && !ec;
}

bool lexists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// --- serialisation ----------------------------------------------------------

std::string str(const kit::Value& d, const char* key) { return d.getString(key).value_or(""); }
int64_t num(const kit::Value& d, const char* key) { return d.getInt(key).value_or(0); }
bool flag(const kit::Value& d, const char* key) { return d.getBool(key).value_or(false); }

void putStr(kit::Value& d, const char* key, const std::string& v) {
    if (!v.empty()) d.set(key, kit::Value(v));
}
void putFlag(kit::Value& d, const char* key, bool v) {
    if (v) d.set(key, kit::Value(true));
}

kit::Value volumeToValue(const Volume& v) {
    kit::Value d = kit::Value::dict();
    d.set("Identifier", kit::Value(v.identifier));
    putStr(d, "Content", v.content);
    putStr(d, "Name", v.name);
    putStr(d, "Filesystem", v.filesystem);
    putStr(d, "VolumeUUID", v.volumeUUID);
    putStr(d, "DiskUUID", v.diskUUID);
    d.set("Size", kit::Value(v.size));
    d.set("TotalSize", kit::Value(v.totalSize));
    d.set("FreeSpace", kit::Value(v.freeSpace));
    putStr(d, "MountPoint", v.mountPoint);
    putStr(d, "FixedMountPoint", v.fixedMountPoint);
    putStr(d, "StorePath", v.storePath);
    putFlag(d, "OSInternal", v.osInternal);
    putStr(d, "Role", v.role);
    putStr(d, "SnapshotMountPoint", v.snapshotMountPoint);
    putStr(d, "APFSContainer", v.apfsContainer);
    if (v.extra.isDict() && v.extra.size()) d.set("Extra", v.extra);
    return d;
}

Volume volumeFromValue(const kit::Value& d) {
    Volume v;
    v.identifier = str(d, "Identifier");
    v.content = str(d, "Content");
    v.name = str(d, "Name");
    v.filesystem = str(d, "Filesystem");
    v.volumeUUID = str(d, "VolumeUUID");
    v.diskUUID = str(d, "DiskUUID");
    v.size = num(d, "Size");
    v.totalSize = num(d, "TotalSize");
    v.freeSpace = num(d, "FreeSpace");
    v.mountPoint = str(d, "MountPoint");
    v.fixedMountPoint = str(d, "FixedMountPoint");
    v.storePath = str(d, "StorePath");
    v.osInternal = flag(d, "OSInternal");
    v.role = str(d, "Role");
    v.snapshotMountPoint = str(d, "SnapshotMountPoint");
    v.apfsContainer = str(d, "APFSContainer");
    if (const kit::Value* e = d.get("Extra"); e && e->isDict()) v.extra = *e;
    return v;
}

kit::Value diskToValue(const Disk& k) {
    kit::Value d = kit::Value::dict();
    d.set("Identifier", kit::Value(k.identifier));
    putStr(d, "RegistryName", k.registryName);
    putStr(d, "MediaName", k.mediaName);
    putStr(d, "BusProtocol", k.busProtocol);
    d.set("Ejectable", kit::Value(k.ejectable));
    d.set("Internal", kit::Value(k.internal));
    d.set("Removable", kit::Value(k.removable));
    d.set("Virtual", kit::Value(k.isVirtual));
    putFlag(d, "RAIDMaster", k.raidMaster);
    putFlag(d, "CoreStorageEncrypted", k.coreStorageEncrypted);
    putStr(d, "Content", k.content);
    d.set("Size", kit::Value(k.size));
    putFlag(d, "Partitionless", k.partitionless);
    putFlag(d, "APFSContainer", k.apfsContainer);
    putStr(d, "PhysicalStore", k.physicalStore);
    if (k.apfsContainer) d.set("ContainerFree", kit::Value(k.containerFree));
    putStr(d, "RAIDSetName", k.raidSetName);
    putStr(d, "RAIDLevel", k.raidLevel);
    if (!k.raidMembers.empty()) {
        kit::Value members = kit::Value::array();
        for (const auto& m : k.raidMembers) members.push(kit::Value(m));
        d.set("RAIDMembers", members);
    }
    putStr(d, "ImagePath", k.imagePath);
    kit::Value vols = kit::Value::array();
    for (const auto& v : k.volumes) vols.push(volumeToValue(v));
    d.set("Volumes", vols);
    if (k.extra.isDict() && k.extra.size()) d.set("Extra", k.extra);
    return d;
}

Disk diskFromValue(const kit::Value& d) {
    Disk k;
    k.identifier = str(d, "Identifier");
    k.registryName = str(d, "RegistryName");
    k.mediaName = str(d, "MediaName");
    k.busProtocol = str(d, "BusProtocol");
    k.ejectable = flag(d, "Ejectable");
    k.internal = flag(d, "Internal");
    k.removable = flag(d, "Removable");
    k.isVirtual = flag(d, "Virtual");
    k.raidMaster = flag(d, "RAIDMaster");
    k.coreStorageEncrypted = flag(d, "CoreStorageEncrypted");
    k.content = str(d, "Content");
    k.size = num(d, "Size");
    k.partitionless = flag(d, "Partitionless");
    k.apfsContainer = flag(d, "APFSContainer");
    k.physicalStore = str(d, "PhysicalStore");
    k.containerFree = num(d, "ContainerFree");
    k.raidSetName = str(d, "RAIDSetName");
    k.raidLevel = str(d, "RAIDLevel");
    if (const auto* members = d.getArray("RAIDMembers"))
        for (const auto& m : *members)
            if (auto s = m.asString()) k.raidMembers.push_back(*s);
    k.imagePath = str(d, "ImagePath");
    if (const auto* vols = d.getArray("Volumes"))
        for (const auto& v : *vols) k.volumes.push_back(volumeFromValue(v));
    if (const kit::Value* e = d.get("Extra"); e && e->isDict()) k.extra = *e;
    return k;
}

bool isDiskIdentifier(const std::string& s) {
    // disk<N>(s<N>)*
    if (s.rfind("disk", 0) != 0) return false;
    size_t i = 4;
    bool digits = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
        } else if (c == 's' && digits) {
            digits = false;
        } else {
            return false;
        }
    }
    return digits;
}

}  // namespace

// --- Disk -------------------------------------------------------------------

int Disk::number() const {
    if (identifier.rfind("disk", 0) != 0 || identifier.size() == 4) return -1;
    int n = 0;
    for (size_t i = 4; i < identifier.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(identifier[i]))) return -1;
        n = n * 10 + (identifier[i] - '0');
        if (n > 1000000) return -1;
    }
    return n;
}

// --- storage ----------------------------------------------------------------

std::string Machine::statePath(const std::string& root) { return stripSlashes(root) + "/.pelorin/machine.plist"; }
std::string Machine::lockPath(const std::string& root) { return stripSlashes(root) + "/.pelorin/lock"; }
std::string Machine::journalPath(const std::string& root) { return stripSlashes(root) + "/.pelorin/journal"; }
std::string Machine::storeFolder(const std::string& root) { return stripSlashes(root) + "/.pelorin/store"; }

kit::Value Machine::toValue() const {
    kit::Value d = kit::Value::dict();
    d.set("Root", kit::Value(root));
    putStr(d, "Scenario", scenario);
    d.set("SystemVersion", kit::Value(systemVersion));
    d.set("ProcessorBrand", kit::Value(processorBrand));
    d.set("ConsoleUser", kit::Value(consoleUser));
    kit::Value list = kit::Value::array();
    for (const auto& k : disks) list.push(diskToValue(k));
    d.set("Disks", list);
    d.set("Knobs", knobs.isDict() ? knobs : kit::Value::dict());
    d.set("FullDiskAccess", kit::Value(fullDiskAccess));
    kit::Value protectedList = kit::Value::array();
    for (const auto& p : protectedPaths) protectedList.push(kit::Value(p));
    d.set("ProtectedPaths", protectedList);

    // The summary kit reads for file-system sizes and types: every mounted volume and snapshot.
    kit::Value mounted = kit::Value::array();
    auto* self = const_cast<Machine*>(this);
    for (const auto& k : disks) {
        for (const auto& v : k.volumes) {
            auto add = [&](const std::string& mountPoint, const std::string& id) {
                kit::Value e = kit::Value::dict();
                e.set("MountPoint", kit::Value(mountPoint));
                e.set("TotalSize", kit::Value(self->volumeTotalSize(v)));
                e.set("FreeSpace", kit::Value(self->volumeFreeSpace(v)));
                e.set("FilesystemType", kit::Value(filesystemType(v.filesystem)));
                e.set("VolumeName", kit::Value(v.name));
                e.set("DeviceIdentifier", kit::Value(id));
                mounted.push(e);
            };
            if (v.isMounted()) add(v.mountPoint, v.identifier);
            if (!v.snapshotMountPoint.empty()) add(v.snapshotMountPoint, v.snapshotIdentifier());
        }
    }
    d.set("Volumes", mounted);
    return d;
}

std::optional<Machine> Machine::fromValue(const kit::Value& value, std::string* error) {
    if (!value.isDict()) {
        if (error) *error = "the machine state is not a dictionary";
        return std::nullopt;
    }
    Machine m;
    m.root = str(value, "Root");
    m.scenario = str(value, "Scenario");
    m.systemVersion = str(value, "SystemVersion");
    m.processorBrand = str(value, "ProcessorBrand");
    m.consoleUser = str(value, "ConsoleUser");
    if (const auto* list = value.getArray("Disks"))
        for (const auto& d : *list) m.disks.push_back(diskFromValue(d));
    if (const kit::Value* k = value.get("Knobs"); k && k->isDict()) m.knobs = *k;
    else m.knobs = kit::Value::dict();
    m.fullDiskAccess = value.getBool("FullDiskAccess").value_or(true);
    if (const auto* list = value.getArray("ProtectedPaths"))
        for (const auto& p : *list)
            if (auto s = p.asString()) m.protectedPaths.push_back(*s);
    return m;
}

std::optional<Machine> Machine::load(const std::string& root, std::string* error) {
    auto value = kit::readPlistFile(statePath(root));
    if (!value) {
        if (error) *error = "no simulated machine at " + root;
        return std::nullopt;
    }
    auto m = fromValue(*value, error);
    if (m) m->root = stripSlashes(root);
    return m;
}

bool Machine::save(std::string* error) const {
    std::error_code ec;
    fs::create_directories(root + "/.pelorin", ec);
    if (!kit::writePlistFile(statePath(root), toValue(), true)) {
        if (error) *error = "cannot write " + statePath(root);
        return false;
    }
    return true;
}

bool Machine::update(const std::string& root, const std::function<bool(Machine&, std::string*)>& change,
                     std::string* error) {
    const int fd = ::open(lockPath(root).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = "cannot open " + lockPath(root) + ": " + std::strerror(errno);
        return false;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            if (error) *error = std::string("cannot lock the machine: ") + std::strerror(errno);
            ::close(fd);
            return false;
        }
    }
    bool ok = false;
    if (auto m = load(root, error)) {
        if (change(*m, error)) ok = m->save(error);
    }
    ::close(fd);  // releases the lock
    return ok;
}

// --- paths ------------------------------------------------------------------

std::string Machine::hostPath(const std::string& rootRelative) const {
    if (rootRelative.empty() || rootRelative == "/") return root;
    return rootRelative[0] == '/' ? root + rootRelative : root + "/" + rootRelative;
}

bool Machine::isInside(const std::string& path) const {
    if (path.empty() || path[0] != '/') return false;
    const std::string r = canonicalish(root);
    const std::string p = canonicalish(path);
    return p == r || (p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/');
}

// --- lookups ----------------------------------------------------------------

Disk* Machine::findDisk(const std::string& identifier) {
    for (auto& k : disks)
        if (k.identifier == identifier) return &k;
    return nullptr;
}

Volume* Machine::findVolume(const std::string& identifier) {
    for (auto& k : disks)
        for (auto& v : k.volumes)
            if (v.identifier == identifier || (!v.snapshotMountPoint.empty() && v.snapshotIdentifier() == identifier))
                return &v;
    return nullptr;
}

Volume* Machine::findByMountPoint(const std::string& hostPath) {
    const std::string want = canonicalish(hostPath);
    for (auto& k : disks)
        for (auto& v : k.volumes) {
            if (v.isMounted() && canonicalish(v.mountPoint) == want) return &v;
            if (!v.snapshotMountPoint.empty() && canonicalish(v.snapshotMountPoint) == want) return &v;
        }
    return nullptr;
}

Volume* Machine::findByName(const std::string& volumeName) {
    for (auto& k : disks)
        for (auto& v : k.volumes)
            if (v.name == volumeName && (v.isMounted() || !v.snapshotMountPoint.empty())) return &v;
    return nullptr;
}

Volume* Machine::findByUUID(const std::string& uuid) {
    const std::string want = lower(uuid);
    if (want.empty()) return nullptr;
    for (auto& k : disks)
        for (auto& v : k.volumes)
            if (lower(v.volumeUUID) == want || lower(v.diskUUID) == want) return &v;
    return nullptr;
}

Disk* Machine::diskOf(const std::string& volumeIdentifier) {
    for (auto& k : disks)
        for (auto& v : k.volumes)
            if (v.identifier == volumeIdentifier ||
                (!v.snapshotMountPoint.empty() && v.snapshotIdentifier() == volumeIdentifier))
                return &k;
    return nullptr;
}

Disk* Machine::containerOf(const Volume& applePartition) {
    if (applePartition.apfsContainer.empty()) return nullptr;
    return findDisk(applePartition.apfsContainer);
}

Disk* Machine::physicalDiskOf(Disk& disk) {
    if (!disk.apfsContainer || disk.physicalStore.empty()) return &disk;
    Disk* physical = diskOf(disk.physicalStore);
    return physical ? physical : &disk;
}

Volume* Machine::rootVolume() {
    for (auto& k : disks)
        for (auto& v : k.volumes)
            if (v.snapshotMountPoint == root || v.mountPoint == root) return &v;
    return nullptr;
}

std::vector<Disk*> Machine::family(Disk& disk) {
    std::vector<Disk*> out{&disk};
    std::vector<std::string> containers;
    for (const auto& v : disk.volumes)
        if (!v.apfsContainer.empty()) containers.push_back(v.apfsContainer);
    for (const auto& id : containers)
        if (Disk* c = findDisk(id)) out.push_back(c);
    return out;
}

bool Machine::inUseBySystem(const Volume& volume) const {
    if (volume.snapshotMountPoint == root || volume.mountPoint == root) return true;
    if (!volume.isMounted()) return false;
    // Mounted inside the root's own folders (/System/Volumes/Data, /private/var/vm…),
    // not under /Volumes: part of the running system.
    const std::string volumes = root + "/Volumes/";
    return volume.mountPoint.compare(0, volumes.size(), volumes) != 0;
}

bool Machine::familyInUse(Disk& disk) {
    for (Disk* k : family(disk))
        for (const auto& v : k->volumes)
            if (inUseBySystem(v)) return true;
    return false;
}

std::optional<Target> Machine::resolve(const std::string& operand, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Target> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (operand.empty()) return fail("Could not find disk: (empty)");

    std::string id = operand;
    if (id.rfind("/dev/", 0) == 0) {
        // A device node; anything else under /dev (a root in /dev/shm) is a path.
        std::string node = id.substr(5);
        if (node.rfind("rdisk", 0) == 0) node = node.substr(1);
        if (isDiskIdentifier(node)) id = node;
        else if (node.find('/') == std::string::npos) return fail("Could not find disk: " + operand);
    }
    if (isDiskIdentifier(id)) {
        if (Disk* k = findDisk(id)) {
            Target t{k, nullptr, false};
            if (k->partitionless && !k->volumes.empty()) t.volume = &k->volumes[0];
            return t;
        }
        if (Volume* v = findVolume(id)) {
            const bool snap = !v->snapshotMountPoint.empty() && v->snapshotIdentifier() == id;
            return Target{diskOf(v->identifier), v, snap};
        }
        return fail("Could not find disk: " + operand);
    }

    if (operand[0] == '/') {
        // A host path inside the root, or a path of the simulated system ("/" is its root).
        std::string host = operand;
        const std::string lexical = fs::path(operand).lexically_normal().string();
        const bool hostForm = lexical == root || lexical.rfind(root + "/", 0) == 0;
        if (!hostForm) host = hostPath(operand);
        if (!isInside(host)) return fail("Refusing a path outside the simulated machine: " + operand);
        if (canonicalish(host) == canonicalish(root)) {
            Volume* v = rootVolume();
            if (!v) return fail("Could not find disk: " + operand);
            return Target{diskOf(v->identifier), v, !v->snapshotMountPoint.empty()};
        }
        if (Volume* v = findByMountPoint(host)) {
            const bool snap = !v->snapshotMountPoint.empty() && canonicalish(v->snapshotMountPoint) == canonicalish(host);
            return Target{diskOf(v->identifier), v, snap};
        }
        return fail("Could not find disk: " + operand);
    }

    if (Volume* v = findByUUID(operand)) return Target{diskOf(v->identifier), v, false};
    if (Volume* v = findByName(operand)) {
        const bool snap = !v->isMounted() && !v->snapshotMountPoint.empty();
        return Target{diskOf(v->identifier), v, snap};
    }
    return fail("Could not find disk: " + operand);
}

int64_t Machine::volumeTotalSize(const Volume& volume) {
    if (volume.isApfsVolume()) {
        if (Disk* c = diskOf(volume.identifier); c && c->apfsContainer) return c->size;
    }
    return volume.totalSize;
}

int64_t Machine::volumeFreeSpace(const Volume& volume) {
    if (volume.isApfsVolume()) {
        if (Disk* c = diskOf(volume.identifier); c && c->apfsContainer) return c->containerFree;
    }
    return volume.freeSpace;
}

// --- changes ----------------------------------------------------------------

std::string Machine::nextDiskIdentifier() const {
    for (int n = 0;; ++n) {
        const std::string id = "disk" + std::to_string(n);
        bool used = false;
        for (const auto& k : disks)
            if (k.identifier == id) used = true;
        if (!used) return id;
    }
}

std::string Machine::newUUID() {
    static std::mt19937_64 gen{std::random_device{}() ^
                               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                               static_cast<uint64_t>(::getpid())};
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) out += '-';
        out += hex[gen() & 15];
    }
    return out;
}

namespace {

void fillVolumeIdentity(Volume& v) {
    if (!v.filesystem.empty() && v.volumeUUID.empty()) v.volumeUUID = Machine::newUUID();
    if (v.diskUUID.empty()) v.diskUUID = v.isApfsVolume() && !v.volumeUUID.empty() ? v.volumeUUID : Machine::newUUID();
}

int sliceIndex(const std::string& diskId, const std::string& volumeId) {
    const std::string prefix = diskId + "s";
    if (volumeId.rfind(prefix, 0) != 0) return 0;
    try {
        return std::stoi(volumeId.substr(prefix.size()));
    } catch (...) {
        return 0;
    }
}

}  // namespace

Disk& Machine::addDisk(Disk disk) {
    if (disk.identifier.empty()) disk.identifier = nextDiskIdentifier();
    for (size_t i = 0; i < disk.volumes.size(); ++i) {
        Volume& v = disk.volumes[i];
        if (v.identifier.empty())
            v.identifier = disk.partitionless ? disk.identifier : disk.identifier + "s" + std::to_string(i + 1);
        fillVolumeIdentity(v);
    }
    for (auto& v : disk.volumes) {
        std::error_code ec;
        if (v.isMounted()) fs::create_directories(v.mountPoint, ec);
        else if (!v.filesystem.empty() && v.snapshotMountPoint.empty()) fs::create_directories(storeOf(v), ec);
    }
    const int n = disk.number();
    auto at = std::find_if(disks.begin(), disks.end(), [&](const Disk& k) { return k.number() > n; });
    return *disks.insert(at, std::move(disk));
}

bool Machine::removeDisk(const std::string& identifier, std::string* error) {
    Disk* disk = findDisk(identifier);
    if (!disk) {
        if (error) *error = "Could not find disk: " + identifier;
        return false;
    }
    std::vector<std::string> ids;
    for (Disk* k : family(*disk)) ids.push_back(k->identifier);
    for (const auto& id : ids) {
        Disk* k = findDisk(id);
        for (auto& v : k->volumes)
            if (!unmount(v, error)) return false;
    }
    for (const auto& id : ids)
        disks.erase(std::remove_if(disks.begin(), disks.end(), [&](const Disk& k) { return k.identifier == id; }),
                    disks.end());
    return true;
}

Volume* Machine::addVolume(const std::string& containerIdentifier, Volume volume, std::string* error) {
    Disk* c = findDisk(containerIdentifier);
    if (!c || !c->apfsContainer) {
        if (error) *error = containerIdentifier + " is not an APFS container";
        return nullptr;
    }
    if (volume.identifier.empty()) {
        int top = 0;
        for (const auto& v : c->volumes) top = std::max(top, sliceIndex(c->identifier, v.identifier));
        volume.identifier = c->identifier + "s" + std::to_string(top + 1);
    }
    if (volume.content.empty()) volume.content = kApfsVolumeContent;
    if (volume.filesystem.empty()) volume.filesystem = "APFS";
    fillVolumeIdentity(volume);
    std::error_code ec;
    if (volume.isMounted()) fs::create_directories(volume.mountPoint, ec);
    else fs::create_directories(storeOf(volume), ec);
    c->volumes.push_back(std::move(volume));
    return &c->volumes.back();
}

bool Machine::removeVolume(const std::string& identifier, bool deleteFiles, std::string* error) {
    Disk* k = diskOf(identifier);
    Volume* v = k ? findVolume(identifier) : nullptr;
    if (!v) {
        if (error) *error = "Could not find disk: " + identifier;
        return false;
    }
    if (deleteFiles && !wipeFiles(*v, error)) return false;
    if (v->isMounted() && !unmount(*v, error)) return false;
    if (deleteFiles && lexists(storeOf(*v))) removeTree(root, storeOf(*v), nullptr);
    k->volumes.erase(std::remove_if(k->volumes.begin(), k->volumes.end(),
                                    [&](const Volume& x) { return x.identifier == identifier; }),
                     k->volumes.end());
    return true;
}

std::string Machine::storeOf(const Volume& volume) const {
    if (!volume.storePath.empty()) return volume.storePath;
    const std::string key = volume.volumeUUID.empty() ? volume.identifier : volume.volumeUUID;
    return storeFolder(root) + "/" + key;
}

std::string filesystemType(const std::string& filesystem) {
    if (filesystem == "APFS") return "apfs";
    if (filesystem.find("HFS") != std::string::npos) return "hfs";
    if (filesystem == "ExFAT") return "exfat";
    if (filesystem.find("FAT") != std::string::npos) return "msdos";
    if (filesystem == "NTFS") return "ntfs";
    return "";
}

std::string mountFolderName(const std::string& volumeName) {
    std::string name = volumeName;
    std::replace(name.begin(), name.end(), '/', ':');
    if (name.empty() || name == "." || name == "..") name = "Untitled";
    return name;
}

std::string Machine::mount(Volume& volume, std::string* error) {
    if (volume.isMounted()) return volume.mountPoint;
    if (volume.filesystem.empty()) {
        if (error) *error = volume.identifier + " holds no file system to mount";
        return "";
    }
    std::error_code ec;
    std::string target;
    if (!volume.fixedMountPoint.empty()) {
        target = hostPath(volume.fixedMountPoint);
        if (lexists(target)) {
            if (!isEmptyDir(target)) {
                if (error) *error = "the mount point " + target + " is in use";
                return "";
            }
            fs::remove(target, ec);
        }
    } else {
        const std::string base = mountFolderName(volume.name);
        fs::create_directories(root + "/Volumes", ec);
        for (int n = 0;; ++n) {
            target = root + "/Volumes/" + (n == 0 ? base : base + " " + std::to_string(n));
            if (!lexists(target) && !findByMountPoint(target)) break;
        }
    }
    if (!isInside(target)) {
        if (error) *error = "refusing to mount outside the simulated machine: " + target;
        return "";
    }
    fs::create_directories(fs::path(target).parent_path(), ec);
    const std::string store = storeOf(volume);
    if (fs::is_directory(store, ec)) {
        if (!moveFolder(store, target, error)) return "";
    } else {
        fs::create_directories(target, ec);
        if (ec) {
            if (error) *error = "cannot create " + target + ": " + ec.message();
            return "";
        }
    }
    volume.mountPoint = target;
    return target;
}

bool Machine::unmount(Volume& volume, std::string* error) {
    if (!volume.isMounted()) return true;
    if (inUseBySystem(volume)) {
        if (error) *error = "Unmount of " + volume.identifier + " failed: the volume is in use by the system";
        return false;
    }
    const std::string store = storeOf(volume);
    std::error_code ec;
    if (lexists(store)) {
        if (!isEmptyDir(store)) {
            if (error) *error = "cannot unmount " + volume.identifier + ": its store " + store + " is not empty";
            return false;
        }
        fs::remove(store, ec);
    }
    fs::create_directories(fs::path(store).parent_path(), ec);
    if (fs::is_directory(volume.mountPoint, ec)) {
        if (!moveFolder(volume.mountPoint, store, error)) return false;
    } else {
        fs::create_directories(store, ec);
    }
    volume.mountPoint.clear();
    return true;
}

bool Machine::renameVolume(Volume& volume, const std::string& newName, std::string* error) {
    if (!volume.isMounted() || !volume.fixedMountPoint.empty()) {
        volume.name = newName;
        return true;
    }
    const std::string base = mountFolderName(newName);
    std::string target;
    for (int n = 0;; ++n) {
        target = root + "/Volumes/" + (n == 0 ? base : base + " " + std::to_string(n));
        if (target == volume.mountPoint) break;
        if (!lexists(target) && !findByMountPoint(target)) break;
    }
    if (target != volume.mountPoint) {
        if (!isInside(target)) {
            if (error) *error = "refusing to move a volume outside the simulated machine: " + target;
            return false;
        }
        if (!moveFolder(volume.mountPoint, target, error)) return false;
        volume.mountPoint = target;
    }
    volume.name = newName;
    return true;
}

bool Machine::wipeFiles(Volume& volume, std::string* error) {
    if (inUseBySystem(volume)) {
        if (error) *error = volume.identifier + " is in use by the system";
        return false;
    }
    std::error_code ec;
    if (volume.isMounted()) {
        for (const auto& entry : fs::directory_iterator(volume.mountPoint, ec))
            if (!removeTree(root, entry.path().string(), error)) return false;
    }
    const std::string store = storeOf(volume);
    if (lexists(store) && !removeTree(root, store, error)) return false;
    return true;
}

// --- knobs ------------------------------------------------------------------

std::string Machine::knob(const std::vector<std::string>& words) const {
    for (size_t n = words.size(); n >= 1; --n) {
        std::string key;
        for (size_t i = 0; i < n; ++i) key += (i ? " " : "") + words[i];
        if (auto v = knobs.getString(key); v && !v->empty() && *v != "ok") return *v;
    }
    return "";
}

void Machine::setKnob(const std::string& key, const std::string& value) {
    if (!knobs.isDict()) knobs = kit::Value::dict();
    if (value.empty() || value == "ok") knobs.erase(key);
    else knobs.set(key, kit::Value(value));
}

std::optional<int> applyCommonKnob(const std::string& value, const std::string& tool) {
    if (value.empty() || value == "ok") return std::nullopt;
    if (value == "fail") {
        std::fprintf(stderr, "%s: the operation failed (simulated failure)\n", tool.c_str());
        return 1;
    }
    if (value == "hang") {
        std::fflush(stdout);
        for (;;) ::pause();  // until a signal ends us
    }
    if (value == "garbage") {
        std::fputs("#!garbage -- this is not a property list\n<dict><key>Unclosed\n\x01\x02\n", stdout);
        std::fflush(stdout);
        return 0;
    }
    if (value == "slow" || value.rfind("slow:", 0) == 0) {
        double seconds = 1.0;
        if (value.size() > 5) {
            try {
                seconds = std::stod(value.substr(5));
            } catch (...) {
                seconds = 1.0;
            }
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, seconds)));
        return std::nullopt;
    }
    return std::nullopt;
}

std::string currentKnob(const std::vector<std::string>& words) {
    const std::string root = kit::sysRoot();
    if (root.empty()) return "";
    auto m = Machine::load(root);
    return m ? m->knob(words) : "";
}

std::optional<std::string> toolRoot(const std::string& tool) {
    const std::string root = kit::sysRoot();
    if (root.empty() || root[0] != '/') {
        std::fprintf(stderr,
                     "%s: PELORIN_SYSROOT is not set to a simulated machine; this stand-in acts only "
                     "inside one\n",
                     tool.c_str());
        return std::nullopt;
    }
    if (::access(Machine::statePath(root).c_str(), R_OK) != 0) {
        std::fprintf(stderr, "%s: no simulated machine at %s\n", tool.c_str(), root.c_str());
        return std::nullopt;
    }
    return root;
}

bool moveFolder(const std::string& from, const std::string& to, std::string* error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) {
        if (error) *error = "cannot move " + from + " to " + to + ": " + std::strerror(errno);
        return false;
    }
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        if (error) *error = "cannot copy " + from + " to " + to + ": " + ec.message();
        return false;
    }
    fs::remove_all(from, ec);
    return true;
}

bool removeTree(const std::string& root, const std::string& path, std::string* error) {
    Machine probe;
    probe.root = stripSlashes(root);
    // The parent is resolved, not the entry itself: a symbolic link is removed as a
    // link, never followed.
    const fs::path p(path);
    const std::string parent = p.parent_path().string();
    const std::string r = canonicalish(probe.root);
    const std::string full = canonicalish(parent) + "/" + p.filename().string();
    if (root.empty() || !probe.isInside(parent) || full == r || p.filename().empty() ||
        p.filename() == "." || p.filename() == "..") {
        if (error) *error = "refusing to delete " + path + ": not inside the simulated machine";
        return false;
    }
    std::error_code ec;
    fs::remove_all(full, ec);
    if (ec) {
        if (error) *error = "cannot delete " + path + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace sim
