#include "app/version_info.h"

#include "version_values.h"

namespace keldarn::app {

namespace {

std::optional<QString> ValueOrMissing(const char* value)
{
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return QString::fromUtf8(value);
}

}  // namespace

std::optional<VersionInfo> CompiledVersionInfo()
{
    return VersionInfo{
        ValueOrMissing(KELDARN_PRODUCT_NAME),
        ValueOrMissing(KELDARN_LEGAL_COPYRIGHT),
        ValueOrMissing(KELDARN_FILE_VERSION),
        ValueOrMissing(KELDARN_COMPANY_NAME),
    };
}

}  // namespace keldarn::app
