#include "fileio/file_error.h"

#include <cerrno>
#include <cstring>

namespace keldarn::fileio {

FileWriteError::FileWriteError(const std::filesystem::path& file, const std::string& reason)
    : std::runtime_error("无法写入文件 " + file.string() + "：" + reason), reason_(reason)
{
}

std::string DescribeSystemError(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return "文件或文件夹不存在";
    case ENOTDIR:
        return "路径中的一级不是文件夹";
    case EISDIR:
        return "这是一个文件夹";
    case EACCES:
    case EPERM:
        return "没有访问权限";
    case EROFS:
        return "文件系统是只读的";
    case ENOSPC:
        return "磁盘空间不足";
    case EDQUOT:
        return "超出磁盘配额";
    case EFBIG:
        return "文件超出允许的大小";
    case ENAMETOOLONG:
        return "文件名过长";
    case EIO:
        return "输入输出错误";
    default:
        return std::strerror(errorNumber);
    }
}

}  // namespace keldarn::fileio
