#include "acquisition/video_param_dlg.h"

#include "platform/prompter.h"
#include "platform/window_placement.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace bc {

namespace {

QComboBox* makeList(QWidget* parent, const char* objectName, const QStringList& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    list->addItems(items);
    return list;
}

QRadioButton* makeRadio(QWidget* parent, const char* objectName, const QString& text)
{
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(QString::fromLatin1(objectName));
    return radio;
}

} // namespace

CVideoParamDlg::CVideoParamDlg(const CDvrAppSettings& settings, QWidget* parent, QSettings* store)
    : QDialog(parent), settings_(store)
{
    settings_.Assign(settings);
    settings_.setSaveOnDestroy(false);
    setWindowTitle(QStringLiteral("视频参数设置"));
    keepOnScreenWhenShown(this);
    buildControls();
    onInitDialog();
}

CVideoParamDlg::~CVideoParamDlg()
{
    // Only values the user accepted reach the store; cancelled ones are gone.
    if (result() == QDialog::Accepted)
        settings_.Save();
}

int CVideoParamDlg::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

void CVideoParamDlg::buildControls()
{
    auto* grid = new QGridLayout(this);

    auto* bitstreamBox = new QGroupBox(QStringLiteral("Bitstream Format"), this);
    auto* bl = new QVBoxLayout(bitstreamBox);
    bitstream_[0] = makeRadio(bitstreamBox, "radio1168", QStringLiteral("VCD (Mpeg 1)"));
    bitstream_[1] = makeRadio(bitstreamBox, "radio1169", QStringLiteral("SVCD (Mpeg 2)"));
    bitstream_[2] = makeRadio(bitstreamBox, "radio1170", QStringLiteral("DVD"));
    auto* bitstreamGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        bl->addWidget(bitstream_[i]);
        bitstreamGroup->addButton(bitstream_[i], i);
    }

    auto* audioBox = new QGroupBox(QStringLiteral("Audio Format"), this);
    auto* al = new QVBoxLayout(audioBox);
    audio_[0] = makeRadio(audioBox, "radio1172", QStringLiteral("Mpeg (44.1 kHz)"));
    audio_[1] = makeRadio(audioBox, "radio1173", QStringLiteral("Mpeg (48.0 kHz)"));
    audio_[2] = makeRadio(audioBox, "radio1174", QStringLiteral("LPCM (48.0 kHz)"));
    auto* audioGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        al->addWidget(audio_[i]);
        audioGroup->addButton(audio_[i], i);
    }

    auto* bitrateBox = new QGroupBox(QStringLiteral("Video Bitrate"), this);
    bitrateList_ = makeList(bitrateBox, "list1175",
                            {QStringLiteral("2 Mbps"), QStringLiteral("3 Mbps"),
                             QStringLiteral("4 Mbps"), QStringLiteral("6 Mbps"),
                             QStringLiteral("8 Mbps"), QStringLiteral("10 Mbps"),
                             QStringLiteral("12 Mbps"), QStringLiteral("VCD"),
                             QStringLiteral("SVCD")});
    (new QVBoxLayout(bitrateBox))->addWidget(bitrateList_);

    auto* resolutionBox = new QGroupBox(QStringLiteral("Video Resolution"), this);
    resolutionList_ = makeList(resolutionBox, "list1176",
                               {QStringLiteral("D1 720"), QStringLiteral("D1 704"),
                                QStringLiteral("2/3 D1"), QStringLiteral("1/2 D1"),
                                QStringLiteral("SIF")});
    (new QVBoxLayout(resolutionBox))->addWidget(resolutionList_);

    auto* formatBox = new QGroupBox(QStringLiteral("Video Format"), this);
    auto* fl = new QVBoxLayout(formatBox);
    pal_ = makeRadio(formatBox, "radio1181", QStringLiteral("PAL"));
    ntsc_ = makeRadio(formatBox, "radio1180", QStringLiteral("NTSC"));
    fl->addWidget(pal_);
    fl->addWidget(ntsc_);
    // The dialog only shows the video standard; the device detects it.
    pal_->setEnabled(false);
    ntsc_->setEnabled(false);

    auto* audioBitrateBox = new QGroupBox(QStringLiteral("Audio Bitrate"), this);
    audioBitrateList_ = makeList(audioBitrateBox, "list1039",
                                 {QStringLiteral("192 kbps"), QStringLiteral("224 kbps"),
                                  QStringLiteral("256 kbps"), QStringLiteral("320 kbps"),
                                  QStringLiteral("384 kbps")});
    (new QVBoxLayout(audioBitrateBox))->addWidget(audioBitrateList_);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    auto* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("button1"));
    cancel->setObjectName(QStringLiteral("button2"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    grid->addWidget(bitstreamBox, 0, 0);
    grid->addWidget(audioBox, 0, 1);
    grid->addWidget(bitrateBox, 1, 0);
    grid->addWidget(resolutionBox, 1, 1);
    grid->addWidget(formatBox, 2, 0);
    grid->addWidget(audioBitrateBox, 2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2);

    // Only the user's clicks and choices run the handlers, not the transfers.
    for (int i = 0; i < 3; ++i) {
        connect(bitstream_[i], &QRadioButton::clicked, this, [this, i] { onBitstream(i); });
        connect(audio_[i], &QRadioButton::clicked, this, [this, i] { onAudio(i); });
    }
    connect(bitrateList_, &QComboBox::activated, this, &CVideoParamDlg::onBitrateList);
    connect(resolutionList_, &QComboBox::activated, this, &CVideoParamDlg::onResolutionList);
    connect(audioBitrateList_, &QComboBox::activated, this,
            &CVideoParamDlg::onAudioBitrateList);
}

void CVideoParamDlg::onInitDialog()
{
    bitstreamIndex_ = settings_.MuxFormat == 1 ? 0 : (settings_.MuxFormat == 0 ? 1 : 2);
    if (settings_.MuxFormat == 2) {
        bitrateList_->setCurrentIndex(settings_.GetVideoBitrateIndex());
        resolutionList_->setCurrentIndex(settings_.GetVideoResolutionIndex());
        audioBitrateList_->setCurrentIndex(settings_.GetAudioBitrateIndex());
        audioIndex_ = settings_.GetAudioFormatIndex();
    }
    updateFormatControls(settings_.MuxFormat);
    toControls();
}

void CVideoParamDlg::updateFormatControls(int format)
{
    if (format == 0 || format == 1) {
        bitstreamIndex_ = format == 0 ? 1 : 0;
        audioIndex_ = 0;
        for (QRadioButton* r : audio_)
            r->setEnabled(false);
        bitrateList_->setEnabled(false);
        resolutionList_->setEnabled(false);
        audioBitrateList_->setEnabled(false);
        bitrateList_->setCurrentIndex(format == 0 ? 8 : 7);
        audioBitrateList_->setCurrentIndex(1);
        resolutionList_->setCurrentIndex(format == 0 ? 2 : 4);
    } else if (format == 2) {
        audio_[2]->setEnabled(false);
        if (bitstreamIndex_ != 2)
            resolutionList_->setCurrentIndex(0);
        settings_.MuxFormat = 2;
        if (settings_.VideoSource != 5) {
            audio_[0]->setEnabled(true);
            audio_[1]->setEnabled(true);
        }
        if (bitrateList_->currentIndex() == 7 || bitrateList_->currentIndex() == 8)
            bitrateList_->setCurrentIndex(2);
        bitrateList_->setEnabled(true);
        resolutionList_->setEnabled(true);
        audioBitrateList_->setEnabled(true);
        const int shown = settings_.SetVideoBitrateIndex(bitrateList_->currentIndex());
        if (shown >= 0)
            bitrateList_->setCurrentIndex(shown);
        settings_.SetVideoResolutionIndex(resolutionList_->currentIndex());
        bitstreamIndex_ = 2;
        audioIndex_ = settings_.GetAudioFormatIndex();
    }
    videoFormatIndex_ = settings_.VideoFormat == 1 ? 0 : 1;
    toControls();
}

void CVideoParamDlg::toControls()
{
    if (bitstreamIndex_ >= 0 && bitstreamIndex_ < 3)
        bitstream_[bitstreamIndex_]->setChecked(true);
    if (audioIndex_ >= 0 && audioIndex_ < 3)
        audio_[audioIndex_]->setChecked(true);
    (videoFormatIndex_ == 0 ? pal_ : ntsc_)->setChecked(true);
}

void CVideoParamDlg::onBitstream(int index)
{
    switch (index) {
    case 0:
        settings_.SetVcdPreset();
        audioIndex_ = 0;
        updateFormatControls(1);
        break;
    case 1:
        settings_.SetSvcdPreset();
        audioIndex_ = 0;
        updateFormatControls(0);
        break;
    default:
        settings_.SetDvdPreset();
        updateFormatControls(2);
        break;
    }
    toControls();
}

void CVideoParamDlg::onAudio(int index)
{
    audioIndex_ = index;
    settings_.SetAudioPreset(index);
}

void CVideoParamDlg::onBitrateList(int index)
{
    const int shown = settings_.SetVideoBitrateIndex(index);
    if (shown >= 0)
        bitrateList_->setCurrentIndex(shown);
}

void CVideoParamDlg::onResolutionList(int index) { settings_.SetVideoResolutionIndex(index); }

void CVideoParamDlg::onAudioBitrateList(int index) { settings_.SetAudioBitrateIndex(index); }

} // namespace bc
