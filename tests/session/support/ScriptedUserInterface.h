#pragma once

#include "iec103/CustomFrame.h"
#include "iec103/GenericList.h"
#include "session/IUserInterface.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace relvane
{

// Answers of one form, taken in order. Each answer sees the form's values as the session opened
// it, may change them, and returns true for "确定" or false for "取消". A form opened with no
// answer left is cancelled (and counted), so a test never blocks.
template <typename... Args> class CFormScript
{
public:
    using Answer = std::function<bool(Args&...)>;

    void Push(Answer fnAnswer) { m_answers.push_back(std::move(fnAnswer)); }
    void PushCancel()
    {
        Push([](Args&...) { return false; });
    }
    bool Run(Args&... args)
    {
        ++m_nOpened;
        if (m_answers.empty())
        {
            ++m_nUnanswered;
            return false;
        }
        Answer fnAnswer = std::move(m_answers.front());
        m_answers.pop_front();
        return fnAnswer(args...);
    }
    int Opened() const { return m_nOpened; }
    int Unanswered() const { return m_nUnanswered; }
    std::size_t Pending() const { return m_answers.size(); }

private:
    std::deque<Answer> m_answers;
    int m_nOpened = 0;
    int m_nUnanswered = 0;
};

// The user of the tests and of scripted runs: forms answered from scripts, message boxes recorded.
class CScriptedUserInterface : public IUserInterface
{
public:
    void ShowMessage(const std::string& strText) override { m_messages.push_back(strText); }

    bool ShowSerialForm(CSerialFields& fields) override { return m_serial.Run(fields); }
    bool ShowDeviceAddressForm(CDeviceAddressFields& fields) override { return m_deviceAddress.Run(fields); }
    bool ShowClockForm(CClockFields& fields) override { return m_clock.Run(fields); }
    bool ShowLineLimitForm(CLineLimitFields& fields) override { return m_lineLimit.Run(fields); }
    bool ShowIntervalForm(CIntervalFields& fields) override { return m_interval.Run(fields); }
    bool ShowGeneralCommandForm(CGeneralCommandFields& fields) override
    {
        return m_generalCommand.Run(fields);
    }
    bool ShowDisturbanceForm(CDisturbanceFields& fields) override { return m_disturbance.Run(fields); }
    bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) override
    {
        return m_customFrame.Run(frame, fields);
    }
    bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) override
    {
        return m_genericData.Run(list, fields);
    }
    bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) override
    {
        return m_genericIdentification.Run(list, fields);
    }
    bool ShowIpForm(CIpFields& fields) override { return m_ip.Run(fields); }
    void ShowStatusHint(const std::string& strText) override { m_hints.push_back(strText); }
    bool AnswersForTheUser() const override { return m_bProgram; }
    // The answers come from a program (a test plan), not from the user.
    void SetAnswersForTheUser(bool bProgram) { m_bProgram = bProgram; }

    CFormScript<CSerialFields>& SerialForm() { return m_serial; }
    CFormScript<CDeviceAddressFields>& DeviceAddressForm() { return m_deviceAddress; }
    CFormScript<CClockFields>& ClockForm() { return m_clock; }
    CFormScript<CLineLimitFields>& LineLimitForm() { return m_lineLimit; }
    CFormScript<CIntervalFields>& IntervalForm() { return m_interval; }
    CFormScript<CGeneralCommandFields>& GeneralCommandForm() { return m_generalCommand; }
    CFormScript<CDisturbanceFields>& DisturbanceForm() { return m_disturbance; }
    CFormScript<CCustomFrame, CCustomFrameFields>& CustomFrameForm() { return m_customFrame; }
    CFormScript<CGenericList, CGenericDataFields>& GenericDataForm() { return m_genericData; }
    CFormScript<CGenericList, CGenericIdentificationFields>& GenericIdentificationForm()
    {
        return m_genericIdentification;
    }
    CFormScript<CIpFields>& IpForm() { return m_ip; }

    // The custom-frame form confirmed with a typed text (stored as its "确定" stores it).
    void AnswerCustomFrame(const std::string& strText, bool bHex = true);

    const std::vector<std::string>& Messages() const { return m_messages; }
    void ClearMessages() { m_messages.clear(); }
    // Every status hint shown, in order ("" when it was taken away).
    const std::vector<std::string>& Hints() const { return m_hints; }

private:
    std::vector<std::string> m_messages;
    std::vector<std::string> m_hints;
    bool m_bProgram = false;
    CFormScript<CSerialFields> m_serial;
    CFormScript<CDeviceAddressFields> m_deviceAddress;
    CFormScript<CClockFields> m_clock;
    CFormScript<CLineLimitFields> m_lineLimit;
    CFormScript<CIntervalFields> m_interval;
    CFormScript<CGeneralCommandFields> m_generalCommand;
    CFormScript<CDisturbanceFields> m_disturbance;
    CFormScript<CCustomFrame, CCustomFrameFields> m_customFrame;
    CFormScript<CGenericList, CGenericDataFields> m_genericData;
    CFormScript<CGenericList, CGenericIdentificationFields> m_genericIdentification;
    CFormScript<CIpFields> m_ip;
};

// An answer that confirms a one-value form with the given values.
template <typename Fields> std::function<bool(Fields&)> Confirm(Fields values)
{
    return [values](Fields& fields)
    {
        fields = values;
        return true;
    };
}

} // namespace relvane
