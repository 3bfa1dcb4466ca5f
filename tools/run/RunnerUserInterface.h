#pragma once

#include "session/IUserInterface.h"

#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace relvane
{

// The forms and message boxes of a headless run: each form answers with what the script queued
// for it (OK with those values, or cancel); a form opened with nothing queued is cancelled and
// said so on the error stream; message boxes go to the error stream as "message: TEXT", status
// hints as "status: TEXT".
class CRunnerUserInterface : public IUserInterface
{
public:
    explicit CRunnerUserInterface(std::ostream& err) : m_err(err) {}

    // Queues the words after "answer FORM" for the next opening of that form.
    void QueueAnswer(const std::string& strForm, std::vector<std::string> values);

    void ShowMessage(const std::string& strText) override;
    // How many sends the session refused because the port was not open.
    int RefusedSendCount() const { return m_nRefusedSends; }
    bool ShowSerialForm(CSerialFields& fields) override;
    bool ShowDeviceAddressForm(CDeviceAddressFields& fields) override;
    bool ShowClockForm(CClockFields& fields) override;
    bool ShowLineLimitForm(CLineLimitFields& fields) override;
    bool ShowIntervalForm(CIntervalFields& fields) override;
    bool ShowGeneralCommandForm(CGeneralCommandFields& fields) override;
    bool ShowDisturbanceForm(CDisturbanceFields& fields) override;
    bool ShowCustomFrameForm(CCustomFrame& frame, CCustomFrameFields& fields) override;
    bool ShowGenericDataForm(CGenericList& list, CGenericDataFields& fields) override;
    bool ShowGenericIdentificationForm(CGenericList& list, CGenericIdentificationFields& fields) override;
    bool ShowIpForm(CIpFields& fields) override;
    // Status hints go to the error stream as "status: TEXT" (nothing when the hint goes away).
    void ShowStatusHint(const std::string& strText) override;

private:
    // Takes the next answer of the form; false (cancel) when none is queued or it says cancel.
    bool TakeAnswer(const std::string& strForm, std::vector<std::string>& values);

    std::ostream& m_err;
    std::map<std::string, std::deque<std::vector<std::string>>> m_answers;
    int m_nRefusedSends = 0;
};

// Parses "A.B.C.D" into a host-order address (first octet most significant).
bool ParseIpv4(const std::string& text, std::uint32_t& nAddress);

} // namespace relvane
