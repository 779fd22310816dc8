#pragma once
// The file format of the application profile: the INI text Qt's native
// settings format writes on Linux (same sections, key escapes and value
// quoting, extension "conf"), read and written by our own code so that a
// failed write is caught.
//
// Qt's own writer hands the text to a QSaveFile whose buffered bytes are
// flushed only when it is committed; when that flush fails (a full disk), the
// short file is still renamed over the profile. The writer here flushes the
// text itself and fails the save when the flush fails, so the save file is
// discarded and the old profile stays whole.

#include <QSettings>

namespace bc {

// The format for files of `extension` ("conf" for the profile, "ini" for the
// capture device's values), registered on first use. QSettings::
// setDefaultFormat with the profile's makes the default-constructed settings
// objects use it.
QSettings::Format ProfileFormat(const QString& extension = QStringLiteral("conf"));

// Writes the profile's pending changes. False with the reason (Chinese) in
// `reason` when the file could not be written; the old file is then whole.
bool SyncProfile(QSettings& profile, QString* reason = nullptr);

// The codec: INI text to a settings map and back. The reader reads what
// Qt's own INI reader reads: a line it cannot use (a comment with '#', a line
// with no '=', a file cut short) costs that line only, so it always returns
// true. The writer writes Qt's INI text, and only text that reads back to
// the same keys and values.
bool ReadProfileText(QIODevice& device, QSettings::SettingsMap& map);
QByteArray ProfileText(const QSettings::SettingsMap& map);

} // namespace bc
