#pragma once
// The application bundle: Pelorin.app/Contents/{MacOS/<exe>, Resources/, Info.plist}.
// The main bundle is found from the executable (or from PELORIN_BUNDLE, which
// tests set), before any application object exists.
#include <optional>
#include <string>

#include "kit/Plist.h"

namespace kit {

class Bundle {
public:
    static Bundle& main();
    explicit Bundle(std::string bundlePath);

    const std::string& bundlePath() const { return path_; }     // ".../Pelorin.app"; "" when unknown
    std::string resourcePath() const;                           // ".../Contents/Resources"
    std::string executablePath() const;                         // ".../Contents/MacOS/<CFBundleExecutable>"
    std::string bundleIdentifier() const;                       // Info.plist "CFBundleIdentifier"
    Value infoDictionary() const;
    // Path of Resources/<name>.<type> (also looked up in Resources' subfolders
    // "images" and "layouts"); nullopt when missing.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const;

private:
    std::string path_;
};

}  // namespace kit
