#include "Disk/PublicObj.h"

#include "Disk/OVPublicUtilities.h"
#include "kit/Bundle.h"
#include "kit/Format.h"
#include "kit/SysPath.h"

// The same answers as the shared utilities give.
void PublicObj::getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix) {
    OVPublicUtilities::getSystemVersionMajor(major, minor, bugFix);
}

int PublicObj::getSystemVersion() { return OVPublicUtilities::getSystemVersion(); }

std::optional<std::string> PublicObj::getLocalStr() {
    const std::string& bundle = kit::Bundle::main().bundlePath();
    if (bundle.empty()) return std::nullopt;
    return kit::deletingLastPathComponent(bundle) +
           "/Orvane Salvage Desk.app/Contents/Resources/LocalVersionMessage.plist";
}

void PublicObj::returnBootableIsSuccess(const kit::Value& result) {
    if (result.isNull()) return;
    auto path = getLocalStr();
    if (!path) return;
    auto dict = kit::readPlistFile(*path);
    if (!dict || !dict->isDict()) return;
    dict->set("BOOTRESULT", result);
    kit::writePlistFile(*path, *dict, true);
}
