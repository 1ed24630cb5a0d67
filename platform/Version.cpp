#include "Version.h"

#include "VersionInfo.h"

namespace platform {

std::string VersionString(const std::string& key) {
    if (key == "ProductName") return BRELKA_VERSION_PRODUCT_NAME;
    if (key == "FileVersion") return BRELKA_VERSION_FILE_VERSION;
    return {};
}

} // namespace platform
