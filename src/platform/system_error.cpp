#include "platform/system_error.h"

#include <cerrno>

namespace bc {

QString systemErrorText(int error)
{
    switch (error) {
    case ENOSPC: return QStringLiteral("磁盘空间已满");
    case EDQUOT: return QStringLiteral("超出磁盘配额");
    case EFBIG: return QStringLiteral("文件超过系统允许的大小");
    case EROFS: return QStringLiteral("磁盘为只读");
    case EACCES:
    case EPERM: return QStringLiteral("没有写入权限");
    case ENOENT: return QStringLiteral("文件或文件夹不存在");
    case EIO: return QStringLiteral("磁盘读写出错");
    case ENODEV:
    case ENXIO: return QStringLiteral("设备已移除");
    case ENOMEM: return QStringLiteral("内存不足");
    default: return QStringLiteral("系统错误 %1").arg(error);
    }
}

} // namespace bc
