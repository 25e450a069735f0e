#include "DiskTool/DiskToolCommands.h"

#include <cctype>
#include <vector>

#include "kit/Format.h"

namespace {

DiskToolRun capture(const char* command, const char* fileName, double timeoutSeconds) {
    DiskToolRun run;
    if (!command) return run;
    const OVCapture c = OVCaptureLimited(command, fileName, timeoutSeconds);
    if (c.path.empty()) return run;
    run.capturePath = c.path;
    run.status = c.status;
    run.timedOut = c.timedOut;
    return run;
}

// UTF-8 decoded to code points; a malformed byte stands for itself (U+FFFD is
// never in any range the rules look at).
std::vector<char32_t> codePoints(const std::string& text) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool good = len > 0 && i + len <= text.size();
        for (int k = 1; good && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc >> 6) != 2) good = false;
            else cp = (cp << 6) | (cc & 0x3F);
        }
        if (!good) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Upper case for the scripts volume names are mostly written in: Latin (basic,
// Latin-1 and Extended-A), Greek and Cyrillic.
char32_t upper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Pairs: even upper, odd lower, except the shifted stretches.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 0) ? c - 1 : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

bool inHanRange(char32_t c) { return c >= 0x4E01 && c <= 0x9FFE; }

bool isEmptyOrSingleBlank(const std::string& s) { return s.empty() || s == " "; }

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

DiskToolRun eraserExecCommand(const char* command, double timeoutSeconds) {
    return capture(command, "eraserVolumeTemp.plist", timeoutSeconds);
}
DiskToolRun aepairExecCommand(const char* command, double timeoutSeconds) {
    return capture(command, "WexmireRepairTemp.plist", timeoutSeconds);
}
DiskToolRun changeNameExecCommand(const char* command, double timeoutSeconds) {
    return capture(command, "WexmireChangeNameTemp.plist", timeoutSeconds);
}

bool looksLikeAnOption(const std::string& name) { return !name.empty() && name[0] == '-'; }

bool containsChinese(const std::string& text) {
    for (char32_t c : codePoints(text))
        if (inHanRange(c)) return true;
    return false;
}

std::string byteToSizeWithByte(uint64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes < 1000) return kit::format("%.0f byte", b);
    if (bytes <= 999999) return kit::format("%.2f KB", b / 1000.0);
    if (bytes <= 999999999) return kit::format("%.2f MB", b / 1000000.0);
    if (bytes <= 999999999999ULL) return kit::format("%.2f GB", b / 1000000000.0);
    return kit::format("%.2f TB", b / 1000000000000.0);
}

std::string upperCasedPrefix(const std::string& text, size_t units) {
    std::string out;
    size_t used = 0;
    for (char32_t c : codePoints(text)) {
        const size_t width = c >= 0x10000 ? 2 : 1;
        if (used + width > units) break;
        used += width;
        appendUtf8(out, upper(c));
    }
    return out;
}

std::optional<std::string> renameNameFor(const std::string& typed, const std::string& volumeType,
                                         const std::string& currentName) {
    if (isEmptyOrSingleBlank(typed)) return std::nullopt;
    std::string name = typed;
    if (lower(volumeType).find("fat32") != std::string::npos) {
        name = containsChinese(typed) ? "NEW" : upperCasedPrefix(typed, 11);
    }
    if (name == currentName) return std::nullopt;
    return name;
}

std::string eraseNameFor(const std::string& given, const std::string& typeText) {
    std::string name = isEmptyOrSingleBlank(given) ? "NEW" : given;
    if (typeText == "MS-DOS FAT32") name = containsChinese(given) ? "NEW" : upperCasedPrefix(name, 11);
    return name;
}

double usedPercent(int64_t totalBytes, int64_t freeBytes) {
    if (totalBytes <= 0) return 0;
    return 100.0 - static_cast<double>(freeBytes) / static_cast<double>(totalBytes) * 100.0;
}
