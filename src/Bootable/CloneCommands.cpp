#include "Bootable/CloneCommands.h"

#include <filesystem>

#include "Disk/GetVolumes.h"
#include "Disk/OVPublicUtilities.h"
#include "Disk/OVTask.h"
#include "kit/Shell.h"
#include "kit/SysPath.h"
#include "kit/System.h"

int ZZDoCommand(const std::string& command, const std::string& outputPath) {
    if (command.empty() || outputPath.empty()) return -1;
    std::error_code ec;
    std::filesystem::remove(outputPath, ec);
    return kit::runShell(kit::format("%s > %s", command, kit::shellQuote(outputPath)));
}

OVCapture ZZCapture(const std::string& command, const std::string& fileName) {
    return OVCaptureLimited(command, fileName, OVCaptureTimeout, {}, 4096);
}

std::optional<kit::Value> ZZCaptureValue(const std::string& command, const std::string& fileName, int* status) {
    const OVCapture capture = ZZCapture(command, fileName);
    if (status) *status = capture.ran && !capture.timedOut && !capture.stopped ? capture.status : -1;
    return capture.value();
}

std::optional<std::vector<VolumeObj::Slice>> readDiskSlices(const std::string& identifier) {
    const OVCapture capture = ZZCapture("diskutil list -plist " + kit::shellQuote("/dev/" + identifier), "eraserDiskTemp.plist");
    auto listing = capture.ok() ? capture.value() : std::nullopt;
    return listing ? GetVolumes::diskSlicesIn(*listing, identifier) : std::nullopt;
}

namespace {

bool brandIsApple() {
    const std::string brand = kit::processorBrand();
    return brand.find("Apple") != std::string::npos;
}

}  // namespace

bool has_m1_chip() {
    // A simulated machine is asked every time: tests change its processor
    // between runs. The real processor is read once.
    if (!kit::sysRoot().empty()) return brandIsApple();
    static const bool answer = brandIsApple();
    return answer;
}

bool cloneNeedsPrebootRepair() { return has_m1_chip() || OVPublicUtilities::getSystemVersion() >= 1300; }
