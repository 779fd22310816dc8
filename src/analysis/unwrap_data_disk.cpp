// What the files of a data set hold on disk now, against what the data set
// last read from them or wrote to them.
#include "analysis/file_digest.h"
#include "analysis/unwrap_data.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace bc {

QByteArray BytesDigest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray FileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return {};
    return hash.result();
}

CUnWrapData::DiskFile CUnWrapData::fileOnDisk() const
{
    if (filePath_.isEmpty())
        return DiskFile::None;
    const QFileInfo info(filePath_);
    if (!info.exists())
        return DiskFile::None;
    if (diskDigest_.isEmpty())
        return DiskFile::Other;
    // Not a plain file, or larger than any save of ours writes: not read (a
    // pipe would block), taken for a change.
    if (!info.isFile() || info.size() > kMaxSfaBytes)
        return DiskFile::Changed;
    // Hashed a block at a time: a save costs memory by the file's size, not
    // by the largest file it could be.
    const QByteArray digest = FileDigest(filePath_);
    return !digest.isEmpty() && digest == diskDigest_ ? DiskFile::Same : DiskFile::Changed;
}

QString CUnWrapData::changedStripFile() const
{
    for (const Item& item : items_) {
        // Only pictures a save writes; one removed since is simply written again.
        if (!item.modified || !item.image->hasPixels() || item.file.isEmpty() ||
            item.fileDigest.isEmpty() || !QFileInfo::exists(item.file))
            continue;
        if (FileDigest(item.file) != item.fileDigest)
            return item.file;
    }
    return {};
}

} // namespace bc
