#include "Bootable/boot/OVRestoreOutputParser.h"

namespace {

bool contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

constexpr const char* kValidatingTarget = "Validating target...";
constexpr const char* kValidatingSource = "Validating source...";
constexpr const char* kRepartitioning = "Repartitioning target device...";

}  // namespace

void OVRestoreOutputParser::reset() {
    isTwoTime_ = 0;
    isTwoTime100_ = 0;
    inProgress_ = false;
}

int OVRestoreOutputParser::tagForText(const std::string& text) {
    // "100" holds "10", so ten percent only counts when the chunk is not the end mark.
    if (contains(text, "10") && !contains(text, "100")) return 1;
    static const char* const tens[] = {"20", "30", "40", "50", "60", "70", "80", "90", "100"};
    for (int i = 0; i < 9; ++i)
        if (contains(text, tens[i])) return i + 2;
    return 0;
}

std::vector<OVRestoreOutputEvent> OVRestoreOutputParser::parseChunk(const std::string& chunk, bool delegateTakesLabels) {
    using Ev = OVRestoreOutputEvent;
    std::vector<OVRestoreOutputEvent> out;

    if (contains(chunk, "[ny]")) {
        reset();
        out.push_back(Ev::prompt());
        return out;
    }
    out.push_back(Ev::log(chunk));
    if (!delegateTakesLabels) return out;

    std::string text = chunk;
    if (contains(text, kValidatingTarget)) {
        out.push_back(Ev::step(3));
        text = kValidatingTarget;
    }
    // Tested on the replaced text: a chunk holding both validations reports the target's step only.
    if (contains(text, kValidatingSource)) {
        out.push_back(Ev::step(4));
        text = kValidatingSource;
    }
    if (contains(text, kRepartitioning)) text = kRepartitioning;

    if (contains(text, "Replicating") || contains(text, "Restoring") || contains(text, "Verifying")) {
        out.push_back(Ev::label("Cloning..."));
        if (isTwoTime_++ == 0) out.push_back(Ev::step(5));
        inProgress_ = true;
    }

    if (isTwoTime_ == 1 || isTwoTime_ == 2) {
        if (int tag = tagForText(text)) out.push_back(Ev::tag(tag, isTwoTime_));
    }

    if (text == "100" && ++isTwoTime100_ == 2) inProgress_ = false;

    if (contains(text, "done") && !(contains(text, kValidatingTarget) && contains(text, kValidatingSource)))
        text = kValidatingTarget;

    if (!inProgress_) out.push_back(Ev::label(text));
    return out;
}
