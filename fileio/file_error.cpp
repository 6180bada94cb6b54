#include "fileio/file_error.h"

#include "i18n/interface_text.h"

#include <cerrno>
#include <cstring>

namespace keldarn::fileio {

FileWriteError::FileWriteError(const std::filesystem::path& file, const std::string& reason)
    : std::runtime_error(
          i18n::Format(i18n::Translate("fileio", "无法写入文件 %1：%2"), {file.string(), reason})),
      reason_(reason)
{
}

std::string DescribeSystemError(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return i18n::Translate("fileio", "文件或文件夹不存在");
    case ENOTDIR:
        return i18n::Translate("fileio", "路径中的一级不是文件夹");
    case EISDIR:
        return i18n::Translate("fileio", "这是一个文件夹");
    case EACCES:
    case EPERM:
        return i18n::Translate("fileio", "没有访问权限");
    case EROFS:
        return i18n::Translate("fileio", "文件系统是只读的");
    case ENOSPC:
        return i18n::Translate("fileio", "磁盘空间不足");
    case EDQUOT:
        return i18n::Translate("fileio", "超出磁盘配额");
    case EFBIG:
        return i18n::Translate("fileio", "文件超出允许的大小");
    case ENAMETOOLONG:
        return i18n::Translate("fileio", "文件名过长");
    case EIO:
        return i18n::Translate("fileio", "输入输出错误");
    default:
        return std::strerror(errorNumber);
    }
}

}  // namespace keldarn::fileio
