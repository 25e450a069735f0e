#pragma once
// System-version and result-file helpers (class operations).
#include <optional>
#include <string>

#include "kit/Plist.h"

class PublicObj {
public:
    PublicObj() = delete;
    static void getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix);
    static int getSystemVersion();
    static std::optional<std::string> getLocalStr();
    static void returnBootableIsSuccess(const kit::Value& result);
};
