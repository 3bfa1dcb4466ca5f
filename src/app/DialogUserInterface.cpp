#include "app/DialogUserInterface.h"

#include "ethernet/IpSettingsForm.h"
#include "forms/ClockForm.h"
#include "forms/DeviceAddressForm.h"
#include "forms/FormDialog.h"
#include "forms/IntervalForm.h"
#include "forms/LineLimitForm.h"
#include "forms/SerialSettingsForm.h"
#include "iec103forms/CustomFrameForm.h"
#include "iec103forms/DisturbanceForm.h"
#include "iec103forms/GeneralCommandForm.h"
#include "iec103forms/GenericDataForm.h"
#include "iec103forms/GenericIdentificationForm.h"

#include <QMainWindow>
#include <QStatusBar>
#include <utility>

namespace relvane
{

CDialogUserInterface::CDialogUserInterface(PortLister fnListPorts) : m_fnListPorts(std::move(fnListPorts)) {}

void CDialogUserInterface::ShowMessage(const std::string& strText)
{
    ShowRelvaneMessage(m_pParent, QString::fromStdString(strText));
}

void CDialogUserInterface::ShowSerialLost(const std::string& strText)
{
    if (auto* pWindow = qobject_cast<QMainWindow*>(m_pParent.data()))
        pWindow->statusBar()->showMessage(QString::fromStdString(strText));
    else
        ShowMessage(strText);
}

bool CDialogUserInterface::ShowSerialForm(CSerialFields& fields)
{
    SerialSettingsForm form(m_fnListPorts ? m_fnListPorts() : QStringList(), m_pParent);
    CSerialFormValues values;
    values.nPortIndex = fields.nPortIndex;
    values.nBaudIndex = fields.nBaudIndex;
    values.nDataBitsIndex = fields.nDataBitsIndex;
    values.nStopBitsIndex = fields.nStopBitsIndex;
    values.nParityIndex = fields.nParityIndex;
    values.nTimeoutMs = fields.nTimeoutMs;
    values.nMode = fields.nMode;
    form.SetValues(values);
    if (form.exec() != QDialog::Accepted)
        return false;
    const CSerialFormValues& result = form.Values();
    fields.nPortIndex = result.nPortIndex;
    fields.nBaudIndex = result.nBaudIndex;
    fields.nDataBitsIndex = result.nDataBitsIndex;
    fields.nStopBitsIndex = result.nStopBitsIndex;
    fields.nParityIndex = result.nParityIndex;
    fields.nTimeoutMs = result.nTimeoutMs;
    fields.strPort = result.strPort.toStdString();
    fields.strBaud = result.strBaud.toStdString();
    fields.strParity = result.strParity.toStdString();
    return true;
}

bool CDialogUserInterface::ShowDeviceAddressForm(CDeviceAddressFields& fields)
{
    DeviceAddressForm form(m_pParent);
    form.SetValues({fields.nDeviceAddress, fields.nCpuNumber, fields.nSettingGroup});
    if (form.exec() != QDialog::Accepted)
        return false;
    fields.nDeviceAddress = form.Values().nDeviceAddress;
    fields.nCpuNumber = form.Values().nCpuNumber;
    fields.nSettingGroup = form.Values().nSettingGroup;
    return true;
}

bool CDialogUserInterface::ShowClockForm(CClockFields& fields)
{
    ClockForm form(m_pParent);
    form.SetShowAnswer(fields.bShowAnswerBox);
    if (form.exec() != QDialog::Accepted)
        return false;
    const CClockValues& values = form.Values();
    fields.nYear = values.nYear;
    fields.nMonth = values.nMonth;
    fields.nDay = values.nDay;
    fields.nHour = values.nHour;
    fields.nMinute = values.nMinute;
    fields.nSecond = values.nSecond;
    fields.bSynchronise = values.bSync != 0;
    fields.bAnswer = values.bAnswer != 0;
    return true;
}

bool CDialogUserInterface::ShowLineLimitForm(CLineLimitFields& fields)
{
    LineLimitForm form(m_pParent);
    form.SetValues({fields.bLineLimit ? 1 : 0, fields.nLineLimit});
    if (form.exec() != QDialog::Accepted)
        return false;
    fields.bLineLimit = form.Values().bLineLimit != 0;
    fields.nLineLimit = form.Values().nLineLimit;
    return true;
}

bool CDialogUserInterface::ShowIntervalForm(CIntervalFields& fields)
{
    IntervalForm form(m_pParent);
    form.SetTitle(QString::fromStdString(fields.strTitle));
    form.SetInterval(fields.nIntervalMs);
    if (form.exec() != QDialog::Accepted)
        return false;
    fields.nIntervalMs = form.Interval();
    return true;
}

bool CDialogUserInterface::ShowGeneralCommandForm(CGeneralCommandFields& fields)
{
    GeneralCommandForm form(m_pParent);
    form.SetValues({fields.nFun, fields.nInf, fields.nDcoIndex, fields.bAnswer ? 1 : 0});
    if (form.exec() != QDialog::Accepted)
        return false;
    fields.nFun = form.Values().nFun;
    fields.nInf = form.Values().nInf;
    fields.nDcoIndex = form.Values().nDcoIndex;
    fields.bAnswer = form.Values().bAnswer != 0;
    return true;
}

bool CDialogUserInterface::ShowDisturbanceForm(CDisturbanceFields& fields)
{
    DisturbanceForm form(m_pParent);
    CDisturbanceValues values;
    values.nAsdu = fields.nAsdu;
    values.nFun = fields.nFun;
    values.nTov = fields.nTov;
    values.nFan = fields.nFan;
    values.nAcc = fields.nAcc;
    values.nTooIndex24 = fields.nTooIndex24;
    values.nTooIndex25 = fields.nTooIndex25;
    form.SetValues(values);
    if (form.exec() != QDialog::Accepted)
        return false;
    const CDisturbanceValues& result = form.Values();
    fields.nFun = result.nFun;
    fields.nTov = result.nTov;
    fields.nFan = result.nFan;
    fields.nAcc = result.nAcc;
    fields.nTooIndex24 = result.nTooIndex24;
    fields.nTooIndex25 = result.nTooIndex25;
    fields.nToo = static_cast<std::uint8_t>(result.nToo);
    return true;
}

bool CDialogUserInterface::ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields)
{
    CustomFrameForm form(frame, m_pParent);
    form.SetHex(fields.bHex);
    form.SetChecksumButtonShown(fields.bShowChecksumButton);
    const bool bOk = form.exec() == QDialog::Accepted;
    // The base is the form's own setting and stays whichever way the form closed.
    fields.bHex = form.IsHex();
    return bOk;
}

bool CDialogUserInterface::ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields)
{
    GenericDataForm form(list, m_pParent);
    CGenericDataValues values;
    values.nGroup = fields.nGroup;
    values.nEntry = fields.nEntry;
    values.nWidth = fields.nWidth;
    values.nNumber = fields.nNumber;
    values.strGid = QString::fromStdString(fields.strGid);
    values.bHex = fields.bHex;
    form.SetValues(values);
    const bool bOk = form.exec() == QDialog::Accepted;
    // The fields the user entered stay for the next opening, also after a cancel.
    const CGenericDataValues& result = form.Values();
    fields.nGroup = result.nGroup;
    fields.nEntry = result.nEntry;
    fields.nWidth = result.nWidth;
    fields.nNumber = result.nNumber;
    fields.strGid = result.strGid.toStdString();
    fields.bHex = result.bHex;
    if (bOk)
        fields.nInf = static_cast<std::uint8_t>(result.nInf);
    return bOk;
}

bool CDialogUserInterface::ShowGenericIdentificationForm(CGenericList& list,
                                                         CGenericIdentificationFields& fields)
{
    GenericIdentificationForm form(list, m_pParent);
    form.SetValues({fields.nGroup, fields.nEntry, 0});
    const bool bOk = form.exec() == QDialog::Accepted;
    fields.nGroup = form.Values().nGroup;
    fields.nEntry = form.Values().nEntry;
    if (bOk)
        fields.nInf = static_cast<std::uint8_t>(form.Values().nInf);
    return bOk;
}

bool CDialogUserInterface::ShowIpForm(CIpFields& fields)
{
    IpSettingsForm form(m_pParent);
    form.SetValues({fields.nTargetAddress, fields.nTargetUdpPort, fields.nLocalTcpPort});
    if (form.exec() != QDialog::Accepted)
        return false;
    fields.nTargetAddress = form.Values().nTargetAddress;
    fields.nTargetUdpPort = form.Values().nTargetUdpPort;
    fields.nLocalTcpPort = form.Values().nLocalTcpPort;
    return true;
}

void CDialogUserInterface::ShowStatusHint(const std::string& strText)
{
    auto* pWindow = qobject_cast<QMainWindow*>(m_pParent.data());
    if (pWindow == nullptr)
        return;
    if (strText.empty())
        pWindow->statusBar()->clearMessage();
    else
        pWindow->statusBar()->showMessage(QString::fromStdString(strText));
}

} // namespace relvane
