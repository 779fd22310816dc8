#pragma once
// Choosing a folder through the prompter. A cancelled dialog leaves the path
// empty.

#include <QString>

class QWidget;

namespace bc {

class CFolderDialog {
public:
    CFolderDialog(QWidget* owner, const QString& root, const QString& title);
    virtual ~CFolderDialog();

    void SetOwner(QWidget* owner) { owner_ = owner; }
    // The folder the dialog starts in unless a start folder is given.
    void SetRoot(const QString& root) { root_ = root; }
    void SetTitle(const QString& title) { title_ = title; }
    const QString& GetTitle() const { return title_; }

    // Asks for a folder. True when one was chosen; its path is then in
    // GetFolderPath(), which is empty after a cancel.
    bool DoModal();
    const QString& GetFolderPath() const { return path_; }
    // The chosen folder's own name (the path's last part).
    QString GetDisplayName() const;

protected:
    // The folder the dialog opens at.
    virtual QString StartFolder() const { return root_; }

private:
    QWidget* owner_ = nullptr;
    QString root_;
    QString title_;
    QString path_;
};

// The folder dialog that chooses where pages are saved: it opens at a start
// folder and asks "请选择一个保存路径:" unless told otherwise.
class CSaveFolderDialog : public CFolderDialog {
public:
    static const QString kDefaultTitle;

    explicit CSaveFolderDialog(QWidget* owner, const QString& title = kDefaultTitle);

    void SetStartFolder(const QString& path) { startFolder_ = path; }
    const QString& GetStartFolder() const { return startFolder_; }

protected:
    QString StartFolder() const override;

private:
    QString startFolder_;
};

} // namespace bc
