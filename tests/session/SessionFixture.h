#pragma once

#include "FakeNetworkChannel.h"
#include "FakeSerialChannel.h"
#include "ScriptedUserInterface.h"
#include "session/RelvaneView.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace relvane
{

using Bytes = std::vector<std::uint8_t>;

// A run of text in the log with its colour.
struct CColouredRun
{
    std::string strText;
    QColor colour;
};

// A session on fake channels with a scripted user.
class CSessionFixture : public ::testing::Test
{
protected:
    CSessionFixture()
    {
        auto pSerial = std::make_unique<CFakeSerialChannel>();
        auto pNetwork = std::make_unique<CFakeNetworkChannel>();
        m_pSerial = pSerial.get();
        m_pNetwork = pNetwork.get();
        m_pView = std::make_unique<CRelvaneView>(std::move(pSerial), std::move(pNetwork), m_ui);
        // The 103 commands do not need an open port; the relay's chunks still reach the session.
        m_pSerial->SetSink(m_pView->MessageSink());
    }

    CRelvaneView& View() { return *m_pView; }

    void Connect()
    {
        View().OnCommand(ID_SERIAL_CONNECT);
        ASSERT_TRUE(View().PortOpen());
    }

    // Delivers everything posted so far (channel messages, the log's batched appends).
    static void Deliver() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

    // The relay sends one chunk; the session handles it as it would on the UI thread.
    void Relay(Bytes abChunk)
    {
        m_pSerial->InjectChunk(std::move(abChunk));
        Deliver();
    }

    std::string Log() { return View().LogText(); }

    Bytes LastWritten() const { return m_pSerial->Written().empty() ? Bytes() : m_pSerial->Written().back(); }

    // The log's runs of one colour, merged across paragraphs ("\r\n" per paragraph end).
    std::vector<CColouredRun> Runs()
    {
        View().Log().Flush();
        std::vector<CColouredRun> runs;
        auto add = [&runs](const QString& strText, const QColor& colour)
        {
            if (strText.isEmpty())
                return;
            if (!runs.empty() && runs.back().colour == colour)
                runs.back().strText += strText.toStdString();
            else
                runs.push_back(CColouredRun{strText.toStdString(), colour});
        };
        const QTextDocument* pDocument = View().LogDocument();
        for (QTextBlock block = pDocument->begin(); block.isValid(); block = block.next())
        {
            for (auto it = block.begin(); !it.atEnd(); ++it)
            {
                const QTextFragment fragment = it.fragment();
                QString strText = fragment.text();
                strText.replace(QChar::LineSeparator, QLatin1Char('\n'));
                add(strText, fragment.charFormat().foreground().color());
            }
            // The character format of the next block is that of the separator closing this one.
            if (block.next().isValid())
                add(QStringLiteral("\r\n"), block.next().charFormat().foreground().color());
        }
        return runs;
    }

    CScriptedUserInterface m_ui;
    CFakeSerialChannel* m_pSerial = nullptr;
    CFakeNetworkChannel* m_pNetwork = nullptr;
    std::unique_ptr<CRelvaneView> m_pView;
};

inline const QColor kBlack(0, 0, 0);
inline const QColor kGreen(0, 128, 0);

} // namespace relvane
