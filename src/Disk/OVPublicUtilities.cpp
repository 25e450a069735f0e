#include "Disk/OVPublicUtilities.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <limits>
#include <mutex>
#include <sstream>
#include <system_error>

#include "Disk/OVTask.h"
#include "kit/Bundle.h"
#include "kit/Defaults.h"
#include "kit/Format.h"
#include "kit/Net.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace {

// The quotient is rounded to single precision before it is formatted, so that
// texts near a rounding edge read the same everywhere a size is shown.
std::string unitText(double quotient, const char* fmt) {
    const float rounded = static_cast<float>(quotient);
    return kit::format(fmt, static_cast<double>(rounded));
}

std::string sizeText(int64_t size, bool withTB) {
    if (size <= 999) return kit::format("%.0f byte", static_cast<double>(static_cast<float>(size)));
    const double count = static_cast<double>(size);
    if (size <= 999999) return unitText(count / 1000.0, "%0.2f KB");
    if (size <= 999999999) return unitText(count / 1000000.0, "%0.2f MB");
    if (!withTB || size <= 999999999999LL) return unitText(count / 1000000000.0, "%0.2f GB");
    return unitText(count / 1000000000000.0, "%0.2f TB");
}

std::optional<kit::Value> readPrivateData() {
    auto path = kit::Bundle::main().pathForResource("PrivateData", "plist");
    if (!path) return std::nullopt;
    auto value = kit::readPlistFile(*path);
    if (!value || !value->isDict()) return std::nullopt;
    return value;
}

// Appends to the disk-list file come from the external-disk scan and from the
// disk-image screen at the same time: one lock keeps every entry whole.
std::mutex& diskListMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

std::string OVPublicUtilities::longlongDiskSize(int64_t size) { return sizeText(size, true); }

std::string OVPublicUtilities::longlongConvertVolSpace(int64_t size) { return sizeText(size, true); }

std::string OVPublicUtilities::convertVolSpace(uint64_t size) {
    if (size <= 999) return kit::format("%.0f byte", static_cast<double>(static_cast<float>(size)));
    const double count = static_cast<double>(size);
    if (size <= 999999) return unitText(count / 1000.0, "%0.2f KB");
    if (size <= 999999999) return unitText(count / 1000000.0, "%0.2f MB");
    return unitText(count / 1000000000.0, "%0.2f GB");
}

uint64_t OVPublicUtilities::volSpaceFromString(const std::string& text) {
    if (text.size() < 2) return 0;
    const std::string number = text.substr(0, text.size() - 2);
    const std::string unit = text.substr(text.size() - 2);
    // Read like a lenient text-to-number conversion: leading blanks skipped, the
    // longest number prefix taken, 0 when there is none.
    const float value = std::strtof(number.c_str(), nullptr);
    float product;
    if (unit == "KB") product = value > 0 ? value * 1000.0f : value;
    else if (unit == "MB") product = value * 1000000.0f;
    else if (unit == "GB") product = value * 1000000000.0f;
    else if (unit == "TB") product = value * 1000000000000.0f;
    else return 0;
    if (!(product > 0)) return 0;  // negative or not a number
    if (product >= 18446744073709551615.0f) return std::numeric_limits<uint64_t>::max();
    return static_cast<uint64_t>(product);
}

bool OVPublicUtilities::isMoreThan2GB(int64_t size) {
    return size >= 1000000 && size / 1000000 > 2048;
}

std::string OVPublicUtilities::fileSystemTypeForInt(int32_t kind, bool withIsDmg, bool withIsEdi) {
    if (withIsDmg) return "Disk Image";
    static const char* const names[] = {"FAT12", "FAT16", "FAT32", "NTFS", "EXT2", "EXT3",
                                        "RAW",   "EXFAT", "HFS+",  "APFS", "Unknown"};
    const auto index = static_cast<uint32_t>(kind);
    return index <= 10 ? names[index] : "Disk";
}

void OVPublicUtilities::getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix) {
    kit::SystemVersion v = kit::systemVersion();
    if (!v.ok) {
        kit::logf("Unable to obtain system version: %ld", -1L);
        v.major = 10;
        v.minor = 0;
        v.bugFix = 0;
    }
    if (major) *major = v.major;
    if (minor) *minor = v.minor;
    if (bugFix) *bugFix = v.bugFix;
}

int OVPublicUtilities::getSystemVersion() {
    unsigned major = 0, minor = 0, bugFix = 0;
    getSystemVersionMajor(&major, &minor, &bugFix);
    const std::string minorText = minor < 10 ? kit::format("0%u", minor) : kit::format("%u", minor);
    return std::atoi(kit::format("%u%@", major, minorText).c_str());
}

bool OVPublicUtilities::isCanBeUseNetWork() {
    // One of our own pages; any answer at all means the network is there.
    auto data = kit::fetchUrlSync("https://www.pelorin.org/", 5.0);
    return data.has_value() && !data->empty();
}

std::string OVPublicUtilities::diskListFilePath() {
    const std::string home = kit::homeFolderForUser(kit::consoleUser());
    return kit::format("%@/Desktop/PelorinDiskList.txt", home);
}

void OVPublicUtilities::writeFileWithTab(const std::string& text) {
    std::lock_guard<std::mutex> lock(diskListMutex());
    const std::string path = diskListFilePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        // A new file appears whole or not at all.
        const std::string temp = path + ".tmp";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
            if (!out) {
                out.close();
                std::filesystem::remove(temp, ec);
                return;
            }
        }
        std::filesystem::rename(temp, path, ec);
        if (ec) std::filesystem::remove(temp, ec);
        return;
    }
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out.is_open()) {
        kit::systemLog("追加失败：文件不存在或权限不足");
        return;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    kit::systemLog("追加成功");
}

std::optional<std::string> OVPublicUtilities::getInstallVersion() {
    auto data = readPrivateData();
    return data ? data->getString("INSTALL_VERSION") : std::nullopt;
}

std::optional<std::string> OVPublicUtilities::getUpDataTimeStr() {
    auto data = readPrivateData();
    return data ? data->getString("upDataTimeStr") : std::nullopt;
}

void OVPublicUtilities::writeUpDataTimeStr(const std::string& text) {
    auto path = kit::Bundle::main().pathForResource("PrivateData", "plist");
    if (!path) return;
    auto data = kit::readPlistFile(*path);
    if (!data || !data->isDict()) return;
    data->set("upDataTimeStr", text);
    kit::writePlistFile(*path, *data, true);
}

bool OVPublicUtilities::isBootable() {
    auto data = readPrivateData();
    return data && data->getString("isBootable") == std::optional<std::string>("YES");
}

std::string OVPublicUtilities::GetCurrentLanaguage() {
    auto languages = kit::UserDefaults::standard().stringArrayForKey("AppleLanguages");
    return languages.empty() ? std::string() : languages.front();
}

std::optional<std::time_t> OVPublicUtilities::convertDateFromString(const std::string& text) {
    std::tm tm{};
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> std::get_time(&tm, "%B %d, %Y at %I:%M %p");
    if (in.fail()) return std::nullopt;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return t;
}

OVAttributedString OVPublicUtilities::setAddItunesBackup(const std::string& text, double withSize) {
    OVAttributedString out;
    out.text = text;
    out.fontSize = withSize;
    return out;
}

std::optional<kit::Value> OVPublicUtilities::OVGetDiskInfo(const char* devicePath) {
    if (!devicePath) return std::nullopt;
    return OVCaptureValue("diskutil info -plist " + kit::shellQuote(devicePath), "SVDTray.plist");
}

std::optional<std::string> GetExecCommand(const char* command) {
    if (!command) return std::nullopt;
    std::lock_guard<std::mutex> lock(OVCaptureLock("SVDTray.plist"));
    return OVRunCapture(command, "SVDTray.plist");
}
