#pragma once
// "视频参数设置": edits a copy of the capture device's values: bitstream
// format, audio format, video bitrate, video resolution and audio bitrate. The
// dialog talks to no device; the values reach it at the next preview build.

#include "acquisition/dvr_settings.h"

#include <QDialog>

class QComboBox;
class QRadioButton;
class QSettings;

namespace bc {

class CVideoParamDlg : public QDialog {
    Q_OBJECT
public:
    // The copy is loaded from `store` (null: the device-values store) and then
    // given the values of `settings`. It is saved when the dialog is destroyed
    // after OK; Cancel leaves the stored values as they were.
    explicit CVideoParamDlg(const CDvrAppSettings& settings, QWidget* parent = nullptr,
                            QSettings* store = nullptr);
    ~CVideoParamDlg() override;

    // IDOK (1) or IDCANCEL (2).
    int DoModal();

    // The edited values; on IDOK the form copies them back.
    CDvrAppSettings& settings() { return settings_; }

    // Radio indexes: bitstream 0 VCD, 1 SVCD, 2 DVD; audio 0 "Mpeg (44.1 kHz)",
    // 1 "Mpeg (48.0 kHz)", 2 "LPCM (48.0 kHz)"; video format 0 PAL, 1 NTSC.
    int bitstreamIndex() const { return bitstreamIndex_; }
    int audioIndex() const { return audioIndex_; }
    int videoFormatIndex() const { return videoFormatIndex_; }

private:
    void buildControls();
    void onInitDialog();
    void updateFormatControls(int format);
    void toControls();
    void onBitstream(int index);
    void onAudio(int index);
    void onBitrateList(int index);
    void onResolutionList(int index);
    void onAudioBitrateList(int index);

    CDvrAppSettings settings_;
    int bitstreamIndex_ = 2;
    int audioIndex_ = 0;
    int videoFormatIndex_ = 0;
    bool updating_ = false;

    QRadioButton* bitstream_[3] = {};
    QRadioButton* audio_[3] = {};
    QRadioButton* pal_ = nullptr;
    QRadioButton* ntsc_ = nullptr;
    QComboBox* bitrateList_ = nullptr;
    QComboBox* resolutionList_ = nullptr;
    QComboBox* audioBitrateList_ = nullptr;
};

} // namespace bc
