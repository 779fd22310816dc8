#include "app/file_dialog_words.h"

#include <cstring>

namespace bc {

namespace {

struct Word {
    const char* context;
    const char* source;
    const char* chinese;
};

// What the file list calls a thing it has no type name for.
const Word kWords[] = {
    {"QAbstractFileIconProvider", "Folder", "文件夹"},
    {"QAbstractFileIconProvider", "Drive", "驱动器"},
    {"QAbstractFileIconProvider", "File", "文件"},
    {"QAbstractFileIconProvider", "%1 File", "%1 文件"},
    {"QAbstractFileIconProvider", "Shortcut", "快捷方式"},
};

} // namespace

QString CFileDialogWords::translate(const char* context, const char* sourceText,
                                    const char*, int) const
{
    if (!context || !sourceText)
        return {};
    for (const Word& w : kWords)
        if (std::strcmp(context, w.context) == 0 && std::strcmp(sourceText, w.source) == 0)
            return QString::fromUtf8(w.chinese);
    return {};
}

} // namespace bc
