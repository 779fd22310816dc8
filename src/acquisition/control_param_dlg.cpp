#include "acquisition/control_param_dlg.h"

#include "acquisition/serial_line.h"
#include "core/program_values.h"
#include "platform/window_placement.h"
#include "ui/num_edit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>


namespace bc {

namespace {

QComboBox* portCombo(const CPortMap& map, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (int slot = 1; slot <= CPortMap::kSlotCount; ++slot)
        combo->addItem(map.slotLabel(slot));
    return combo;
}

QComboBox* baudCombo(QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (int entry = 0; entry < kBaudEntryCount; ++entry)
        combo->addItem(baudText(entry));
    return combo;
}

QGroupBox* deviceGroup(const QString& title, QComboBox* port, QComboBox* baud, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("通信口:"), port);
    form->addRow(QStringLiteral("波特率:"), baud);
    return box;
}

} // namespace

CControlParamDlg::CControlParamDlg(const CSurveyParams& params, CPortMap map,
                                   CSerialLine* mainLine, ProbeTiming timing, QWidget* parent)
    : QDialog(parent), params_(params), map_(map), mainLine_(mainLine), probe_(map, timing),
      fields_(this)
{
    setWindowTitle(QStringLiteral("控制参数"));
    keepOnScreenWhenShown(this);

    depthPort_ = portCombo(map_, this);
    depthBaud_ = baudCombo(this);
    compassPort_ = portCombo(map_, this);
    compassBaud_ = baudCombo(this);

    auto* depthRow = new QHBoxLayout;
    depthRow->addWidget(fields_.startDepth);
    depthRow->addWidget(new QLabel(QStringLiteral("米"), this));

    auto* groups = new QHBoxLayout;
    groups->addWidget(deviceGroup(QStringLiteral("深度控制"), depthPort_, depthBaud_, this));
    groups->addWidget(deviceGroup(QStringLiteral("罗盘"), compassPort_, compassBaud_, this));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("移动方向:"), fields_.direction);
    form->addRow(QStringLiteral("采样步距:"), fields_.step);
    form->addRow(QStringLiteral("起始深度:"), depthRow);
    form->addRow(QStringLiteral("手动调整:"), fields_.manualStep);
    form->addRow(QStringLiteral("计数器分辨率:"), fields_.resolution);
    form->addRow(QStringLiteral("抓图格式:"), fields_.captureFormat);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CControlParamDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CControlParamDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(depthBaud_, &QComboBox::activated, this, &CControlParamDlg::OnDepthBaudChanged);
    connect(compassBaud_, &QComboBox::activated, this, &CControlParamDlg::OnCompassBaudChanged);
}

int CControlParamDlg::exec()
{
    if (!initialised_)
        OnInitDialog();
    return QDialog::exec();
}

void CControlParamDlg::OnInitDialog()
{
    initialised_ = true;
    ProbeDevices();
    fillControls();
}

int CControlParamDlg::runProbe(int (CPortProbe::*probe)(ProbePorts&))
{
    ProbePorts ports{params_.port1, params_.port2};
    const int result =
        runProbeOffUiThread([this, probe, &ports] { return (probe_.*probe)(ports); }, mainLine_);
    params_.port1 = ports.depthPort;
    params_.port2 = ports.compassPort;
    // A device found runs at the rate it answered at.
    if (depthCounterFound())
        params_.baudIndex1 = probeBaudEntry(ProbeDevice::DepthCounter).load();
    if (compassFound())
        params_.baudIndex2 = probeBaudEntry(ProbeDevice::Compass).load();
    return result;
}

int CControlParamDlg::ProbeDevices()
{
    return runProbe(&CPortProbe::probeDevices);
}

int CControlParamDlg::ProbeDepthCounter()
{
    return runProbe(&CPortProbe::probeDepthCounter);
}

int CControlParamDlg::ProbeCompass()
{
    return runProbe(&CPortProbe::probeCompass);
}

void CControlParamDlg::fillPorts()
{
    const auto showPort = [](QComboBox* port, QComboBox* baud, int slot, int baudEntry,
                             bool found) {
        port->setCurrentIndex(slot >= 1 && slot <= CPortMap::kSlotCount ? slot - 1 : -1);
        port->setEnabled(false);
        baud->setCurrentIndex(baudEntry >= 0 && baudEntry < kBaudEntryCount ? baudEntry : -1);
        baud->setEnabled(!found);
    };
    showPort(depthPort_, depthBaud_, params_.port1, params_.baudIndex1, depthCounterFound());
    showPort(compassPort_, compassBaud_, params_.port2, params_.baudIndex2, compassFound());
}

void CControlParamDlg::fillControls()
{
    fillPorts();
    fields_.fill(params_);
}

void CControlParamDlg::baudChanged(ProbeDevice device, int entry)
{
    QComboBox* combo = device == ProbeDevice::DepthCounter ? depthBaud_ : compassBaud_;
    if (entry < 0 || entry >= kBaudEntryCount) {
        entry = 4;
        combo->setCurrentIndex(entry);
    }
    probeBaudEntry(device) = entry;
    if (device == ProbeDevice::DepthCounter) {
        params_.baudIndex1 = entry;
        ProbeDepthCounter();
    } else {
        params_.baudIndex2 = entry;
        ProbeCompass();
    }
    fillPorts();
}

void CControlParamDlg::OnDepthBaudChanged(int entry)
{
    baudChanged(ProbeDevice::DepthCounter, entry);
}

void CControlParamDlg::OnCompassBaudChanged(int entry)
{
    baudChanged(ProbeDevice::Compass, entry);
}

void CControlParamDlg::accept()
{
    // A start depth out of range keeps the dialog open.
    if (!fields_.checkStartDepth(this))
        return;
    fields_.step->commitText();
    params_.port1 = depthPort_->currentIndex() + 1;
    params_.baudIndex1 = depthBaud_->currentIndex();
    params_.port2 = compassPort_->currentIndex() + 1;
    params_.baudIndex2 = compassBaud_->currentIndex();
    fields_.pull(params_);
    QDialog::accept();
}

void takeControlParams(CSurveyParams& formParams, const CControlParamDlg& dlg, bool accepted)
{
    if (accepted) {
        formParams.Assign(dlg.params());
        currentCaptureFormat = static_cast<int>(formParams.captureFormat);
    }
    if (formParams.port1 != dlg.params().port1)
        formParams.port1 = dlg.params().port1;
    if (formParams.port2 != dlg.params().port2)
        formParams.port2 = dlg.params().port2;
}

bool runControlParams(CSurveyParams& formParams, const CPortMap& map, CSerialLine* mainLine,
                      QWidget* parent)
{
    CControlParamDlg dlg(formParams, map, mainLine, ProbeTiming(), parent);
    const bool accepted = dlg.exec() == QDialog::Accepted;
    takeControlParams(formParams, dlg, accepted);
    return accepted;
}

} // namespace bc
