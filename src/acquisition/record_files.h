#pragma once
// The files a recording writes, settled before the device is touched: which
// MPEG file a typed name means, the questions before an earlier recording or
// an analysed survey is replaced, whether the recording's files can be
// created, and clearing up after a start that failed.

#include "core/folder_lock.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace bc {

// The part of a path after its last separator.
QString fileNamePart(const QString& path);
// The folder of a path: cut before its last separator.
QString folderPart(const QString& path);
// The path without the extension of its file name.
QString withoutExtension(const QString& path);

// The file a recording named `typed` writes: ".mpg" appended when the file
// name has no extension, resolved once against the working folder so that
// the recording, its track, its analysis folder and its captures all land in
// the same folder.
QString recordTarget(const QString& typed);

// The analysis file of the recording `mpegPath`: "<path without extension>/
// <file title>.sfa" (the survey the recording's strips are written into).
QString recordAnalysisFile(const QString& mpegPath);

// Settles what a recording named `typed` writes. A file or folder that a
// running recording of this program or of another copy holds (its analysis
// folder, which names its film and track, or the film's folder being that
// folder) is refused with a box before anything is asked, and `held` (when
// given) is set. An existing MPEG file is asked about ("该文件已存在，是否覆盖")
// unless the save dialog chose it by that very name (the dialog asks itself;
// a name chosen without its extension is asked about here); an existing
// analysis file is asked about naming it. 否 opens the save dialog (`choose`,
// which returns the chosen path or empty when cancelled) and the chosen file
// is checked again. `typed` empty opens the dialog at once. Returns the MPEG
// path to record, or empty when the user cancelled the dialog or the target
// was refused.
QString confirmRecordTarget(QWidget* parent, const QString& typed,
                            const std::function<QString()>& choose, bool* held = nullptr);

// The files of one recording start: holds the analysis folder as the running
// recording's (until the object goes) before any file is opened, creates the
// files before the graph is built (an existing file is opened for writing
// without being changed), and, when the start failed (the film holds
// nothing), removes afterwards what it created and left empty (never a file
// or folder that was there before).
class RecordStartFiles {
public:
    // `folder` is the recording's analysis folder, made before the files when
    // missing; `files` the MPEG file and its track.
    RecordStartFiles(const QString& folder, const QStringList& files);

    // True when the folder and every file could be made; false after telling
    // the user which and why (the form's folder text for the folder), with
    // what it made removed again. A folder that another running recording
    // marked first is refused as such, and nothing of it is touched.
    bool create(QWidget* parent);
    // When the film (the first file) holds nothing: removes every file this
    // start created that holds no byte, and the folder when it created it
    // and it is empty. A film that holds something keeps everything.
    void removeIfNothingRecorded();
    // For a start that failed before anything was recorded, whatever an
    // earlier film holds: removes the files this start created that hold no
    // byte, and the folder when it created it and it is empty.
    void removeMade();

private:
    QString folder_;
    QStringList files_;
    bool madeFolder_ = false;
    QStringList made_;
    FolderLock lock_;
};

} // namespace bc
