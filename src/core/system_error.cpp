#include "core/system_error.h"

#include <cerrno>

namespace bc {

QString SystemErrorText(int errnum)
{
    switch (errnum) {
    case 0:
        return QString();
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
    case EFBIG:
        return QStringLiteral("文件超过允许的大小");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case ENOENT:
        return QStringLiteral("文件或目录不存在");
    case ENOTDIR:
        return QStringLiteral("路径中的某一项不是目录");
    case EISDIR:
        return QStringLiteral("目标是一个目录");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("设备已移除");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case ENOMEM:
        return QStringLiteral("内存不足");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被占用");
    case EXDEV:
        return QStringLiteral("不能跨文件系统改名");
    default:
        return QStringLiteral("系统错误 %1").arg(errnum);
    }
}

} // namespace bc
