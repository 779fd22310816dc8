#pragma once
// A settings object in INI format inside a temporary folder, removed with it.

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace bc::test {

class TempSettings {
public:
    TempSettings()
        : settings_(std::make_unique<QSettings>(dir_.filePath(QStringLiteral("profile.ini")),
                                                QSettings::IniFormat))
    {
    }
    QSettings& settings() { return *settings_; }
    QString path() const { return settings_->fileName(); }
    QString dir() const { return dir_.path(); }

    // A fresh QSettings object on the same file (what the next start sees).
    std::unique_ptr<QSettings> reopen()
    {
        settings_->sync();
        return std::make_unique<QSettings>(path(), QSettings::IniFormat);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace bc::test
