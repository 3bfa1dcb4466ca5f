#include "SessionFixture.h"
#include "common/AnnotationText.h"
#include "iec103/Iec103Codec.h"

namespace relvane
{
namespace
{

const Bytes kClass2First = {0x10, 0x5B, 0x01, 0x5C, 0x16};  // FCB 0
const Bytes kClass1Second = {0x10, 0x7A, 0x01, 0x7B, 0x16}; // FCB 1
const Bytes kAnswerAcd = {0x10, 0x20, 0x01, 0x21, 0x16};
const Bytes kAnswerNoData = {0x10, 0x09, 0x01, 0x0A, 0x16};
const Bytes kAnswerLinkDown = {0x10, 0x0E, 0x01, 0x0F, 0x16};
const Bytes kResetCu = {0x10, 0x40, 0x01, 0x41, 0x16};

class Iec103Session : public CSessionFixture
{
protected:
    Iec103Session() { View().OnCommand(ID_MODE_103); }
};

TEST_F(Iec103Session, AccessDemandIsFollowedByAClass1Request)
{
    View().OnCommand(ID_103_CLASS2);
    EXPECT_EQ(LastWritten(), kClass2First);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));

    Relay(kAnswerAcd);
    EXPECT_EQ(LastWritten(), kClass1Second);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));

    // An answer without ACD ends the exchange (polling is off at start).
    Relay(kAnswerNoData);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    EXPECT_EQ(m_pSerial->Written().size(), 2u);
    EXPECT_EQ(Log(), "发送: 10 5B 01 5C 16 \r\n"
                     "接收: 10 20 01 21 16 \r\n"
                     "发送: 10 7A 01 7B 16 \r\n"
                     "接收: 10 09 01 0A 16 \r\n");
}

TEST_F(Iec103Session, LinkServiceNotFunctioningResetsTheLink)
{
    View().OnCommand(ID_103_CLASS2);
    Relay(kAnswerLinkDown);
    EXPECT_EQ(LastWritten(), kResetCu);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Iec103Session, NeitherSwitchOnLogsOnly)
{
    View().OnCommand(ID_AUTO_PROCESS);
    View().OnCommand(ID_103_CLASS2);
    m_pSerial->ClearWritten();
    Relay(kAnswerAcd);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    Relay({0x10, 0x09, 0x01, 0x0B, 0x16}); // bad checksum
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
    EXPECT_NE(Log().find("校验和出错: 10 09 01 0B 16 \r\n"), std::string::npos);
}

TEST_F(Iec103Session, PollingRequestsClass2AfterEachAnswerAndEachTimeout)
{
    View().OnCommand(ID_103_POLLING);
    ASSERT_TRUE(View().QueryCommand(ID_103_POLLING).bChecked);
    EXPECT_TRUE(m_pSerial->Written().empty()) << "switching polling on sends nothing by itself";

    View().OnCommand(ID_103_CLASS2);
    Relay(kAnswerNoData);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    m_pSerial->ClearWritten();
    View().OnTimer(TIMER_POLL);
    ASSERT_EQ(m_pSerial->Written().size(), 1u);
    EXPECT_EQ(LastWritten()[1] & 0x0F, 0x0B) << "class 2 request";

    // A relay that stays silent: each time-out logs and asks again at once.
    m_pSerial->ClearWritten();
    View().OnTimer(TIMER_RESPONSE);
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_EQ(m_pSerial->Written().size(), 2u);
    const std::string strLog = Log();
    EXPECT_NE(strLog.find("超时\r\n发送: 10 "), std::string::npos);

    // Polling off: a time-out only logs.
    View().OnCommand(ID_103_POLLING);
    m_pSerial->ClearWritten();
    View().OnTimer(TIMER_RESPONSE);
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(Iec103Session, ChecksumErrorSchedulesAPollOnlyWithAutomaticProcessing)
{
    const Bytes abBad = {0x10, 0x09, 0x01, 0x0B, 0x16};
    Relay(abBad);
    EXPECT_EQ(Log(), "校验和出错: 10 09 01 0B 16 \r\n");
    EXPECT_EQ(View().LineCount(), 2);
    EXPECT_TRUE(View().IsTimerActive(TIMER_POLL));
    View().KillTimer(TIMER_POLL);

    View().OnCommand(ID_AUTO_PROCESS);
    View().OnCommand(ID_103_POLLING);
    Relay(abBad);
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL)) << "polling alone does not poll after a bad checksum";
}

TEST_F(Iec103Session, RequestAndAnnotatedAnswerComposeTheLogEntries)
{
    Connect();
    View().OnCommand(ID_103_CLASS2);
    // The relay's identification (ASDU 5) in a variable frame the annotator describes; no ACD.
    Bytes abFrame = {0x68, 0x09, 0x09, 0x68, 0x08, 0x01, 0x05, 0x81,
                     0x04, 0x01, 0xFF, 0x03, 0x02, 0x00, 0x16};
    abFrame[13] = Iec103Codec::Checksum(abFrame.data() + 4, 9);
    CAnnotationText note;
    ASSERT_GT(Iec103Codec::Annotate(abFrame.data(), static_cast<int>(abFrame.size()), note), 0);
    Relay(abFrame);

    const std::string strReceived = "接收: 68 09 09 68 08 01 05 81 04 01 FF 03 02 98 16 ";
    const std::string strNote = "\r\n (\n" + note.Text() + ") \r\n";
    EXPECT_EQ(Log(), "发送: 10 5B 01 5C 16 \r\n" + strReceived + strNote);
    const std::vector<CColouredRun> runs = Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].strText, "发送: 10 5B 01 5C 16 ");
    EXPECT_EQ(runs[0].colour, kBlack);
    EXPECT_EQ(runs[1].strText, "\r\n"); // a fixed frame has no annotation: its line end only is green
    EXPECT_EQ(runs[1].colour, kGreen);
    EXPECT_EQ(runs[2].strText, strReceived);
    EXPECT_EQ(runs[2].colour, kBlack);
    EXPECT_EQ(runs[3].strText, strNote);
    EXPECT_EQ(runs[3].colour, kGreen);
    EXPECT_EQ(m_pSerial->Written().size(), 1u) << "no ACD, polling off: the exchange ends";
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
    EXPECT_FALSE(View().IsTimerActive(TIMER_POLL));
}

TEST_F(Iec103Session, CommandsThatExpectNoAnswerStartNoTimer)
{
    m_ui.ClockForm().Push(
        [](CClockFields& clock)
        {
            EXPECT_TRUE(clock.bShowAnswerBox);
            // Not synchronised with the computer: the typed time goes out.
            clock = CClockFields{2026, 6, 5, 12, 34, 56, false, true, false};
            return true;
        });
    View().OnCommand(ID_103_TIME_SYNC);
    const Bytes abSync = LastWritten();
    ASSERT_EQ(abSync.size(), 21u);
    EXPECT_EQ(abSync[4], 0x44);
    EXPECT_EQ(Bytes(abSync.begin() + 12, abSync.begin() + 19),
              (Bytes{0xC0, 0xDA, 0x22, 0x0C, 0x05, 0x06, 0x1A}));
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    CGeneralCommandFields general;
    general.nDcoIndex = 1;
    m_ui.GeneralCommandForm().Push(Confirm(general));
    View().OnCommand(ID_103_GENERAL_COMMAND);
    ASSERT_EQ(LastWritten().size(), 16u);
    EXPECT_EQ(LastWritten()[4], 0x44);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    m_ui.AnswerCustomFrame("10 49 01 4A 16");
    View().OnCommand(ID_103_CUSTOM_FRAME);
    EXPECT_EQ(LastWritten(), (Bytes{0x10, 0x49, 0x01, 0x4A, 0x16}));
    m_ui.DisturbanceForm().Push([](CDisturbanceFields& fields) { return fields.nAsdu == 24; });
    View().OnCommand(ID_103_DISTURBANCE_ORDER);
    m_ui.DisturbanceForm().Push([](CDisturbanceFields& fields) { return fields.nAsdu == 25; });
    View().OnCommand(ID_103_DISTURBANCE_ACK);
    EXPECT_EQ(m_pSerial->Written().size(), 5u);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    // With "要求回答" ticked the time synchronisation waits for an answer.
    m_ui.ClockForm().Push(
        [](CClockFields& clock)
        {
            clock.bAnswer = true;
            return true;
        });
    View().OnCommand(ID_103_TIME_SYNC);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Iec103Session, FormValuesLandInTheirFieldsOfTheFrame)
{
    // General command: FUN, INF, DCO = chosen entry + 1, and with the answer box a send/confirm frame.
    CGeneralCommandFields general;
    general.nFun = 0x80;
    general.nInf = 0x30;
    general.nDcoIndex = 1; // "合(2)"
    general.bAnswer = true;
    m_ui.GeneralCommandForm().Push(Confirm(general));
    View().OnCommand(ID_103_GENERAL_COMMAND);
    Bytes abExpected = {0x68, 0x0A, 0x0A, 0x68, 0x53, 0x01, 0x14, 0x81,
                        0x14, 0x01, 0x80, 0x30, 0x02, 0x00, 0x00, 0x16};
    abExpected[14] = Iec103Codec::Checksum(abExpected.data() + 4, 10);
    EXPECT_EQ(LastWritten(), abExpected);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));

    // The form opens again with what was confirmed last.
    m_ui.GeneralCommandForm().Push(
        [](CGeneralCommandFields& fields)
        {
            EXPECT_EQ(fields.nFun, 0x80);
            EXPECT_EQ(fields.nDcoIndex, 1);
            return false;
        });
    View().OnCommand(ID_103_GENERAL_COMMAND);

    // Disturbance acknowledgement: FUN, INF 0, then TOO, TOV, FAN low and high byte, ACC.
    View().KillTimer(TIMER_RESPONSE);
    m_ui.DisturbanceForm().Push(
        [](CDisturbanceFields& fields)
        {
            fields.nFun = 0x80;
            fields.nToo = 0x40;
            fields.nTov = 1;
            fields.nFan = 0x1234;
            fields.nAcc = 7;
            return true;
        });
    View().OnCommand(ID_103_DISTURBANCE_ACK);
    abExpected = {0x68, 0x0D, 0x0D, 0x68, 0x73, 0x01, 0x19, 0x81, 0x1F, 0x01,
                  0x80, 0x00, 0x40, 0x01, 0x34, 0x12, 0x07, 0x00, 0x16};
    abExpected[17] = Iec103Codec::Checksum(abExpected.data() + 4, 13);
    EXPECT_EQ(LastWritten(), abExpected);
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Iec103Session, CancelledFormsAndUnlistedIdsSendNothing)
{
    m_ui.ClockForm().PushCancel();
    m_ui.GeneralCommandForm().PushCancel();
    m_ui.CustomFrameForm().PushCancel();
    m_ui.DisturbanceForm().PushCancel();
    m_ui.GenericDataForm().PushCancel();
    m_ui.GenericIdentificationForm().PushCancel();
    for (const int nId : std::initializer_list<int>{
             ID_103_TIME_SYNC, ID_103_GENERAL_COMMAND, ID_103_CUSTOM_FRAME, ID_103_DISTURBANCE_ORDER,
             ID_103_GENERIC_DATA, ID_103_GENERIC_COMMAND, 32846, 32847, 32850, 32851, 32852, 32855, 32857})
        View().OnCommand(nId);
    EXPECT_TRUE(m_pSerial->Written().empty());
    EXPECT_EQ(Log(), "");
    EXPECT_FALSE(View().IsTimerActive(TIMER_RESPONSE));

    // An empty custom frame is nothing to send.
    m_ui.AnswerCustomFrame("");
    View().OnCommand(ID_103_CUSTOM_FRAME);
    EXPECT_TRUE(m_pSerial->Written().empty());
}

TEST_F(Iec103Session, GenericFormsEditTheSharedListInPlace)
{
    // "添加" in the identification form, then cancel: the list keeps the item.
    m_ui.GenericIdentificationForm().Push(
        [](CGenericList& list, CGenericIdentificationFields&)
        {
            list.AddIdentification(1, 1, "1  实际值");
            return false;
        });
    View().OnCommand(ID_103_GENERIC_COMMAND);
    EXPECT_EQ(View().Iec103().UserData().Count(), 1);

    m_ui.GenericIdentificationForm().Push(
        [](CGenericList& list, CGenericIdentificationFields& fields)
        {
            EXPECT_EQ(list.Count(), 1);
            fields.nInf = 241;
            return true;
        });
    View().OnCommand(ID_103_GENERIC_COMMAND);
    const Bytes abFrame = LastWritten();
    ASSERT_FALSE(abFrame.empty());
    EXPECT_EQ(abFrame[0], 0x68);
    EXPECT_TRUE(View().IsTimerActive(TIMER_RESPONSE));
}

TEST_F(Iec103Session, DeviceAddressGoesToTheLinkAndCommonAddress)
{
    m_ui.DeviceAddressForm().Push(Confirm(CDeviceAddressFields{5, 2, 0}));
    View().OnCommand(ID_DEVICE_ADDRESS);
    EXPECT_EQ(View().Iec103().LinkAddress(), 5);
    EXPECT_EQ(View().Iec103().CommonAddress(), 2);
    View().OnCommand(ID_103_CLASS2);
    EXPECT_EQ(LastWritten(), (Bytes{0x10, 0x5B, 0x05, 0x60, 0x16}));
}

} // namespace
} // namespace relvane
