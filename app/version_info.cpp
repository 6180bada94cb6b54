#include "app/version_info.h"

#include "version_values.h"

#include <QCoreApplication>

namespace keldarn::app {

namespace {

// The compiled values are the program's own texts, shown in the interface's language. These
// are the values CMakeLists.txt gives, for lupdate to find; a value without a translation
// shows as it is.
[[maybe_unused]] constexpr const char* kTranslatedValues[] = {
    QT_TRANSLATE_NOOP("VersionValues", "Keldarn 地形采点与坐标转换"),
    QT_TRANSLATE_NOOP("VersionValues", "Keldarn 测绘软件"),
    QT_TRANSLATE_NOOP("VersionValues", "版权所有 (C) 2026 Keldarn"),
};

std::optional<QString> ValueOrMissing(const char* value)
{
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    return QCoreApplication::translate("VersionValues", value);
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
