#include "testplan/PlanReport.h"

#include "common/CalendarTime.h"
#include "common/PcapngBlocks.h"
#include "common/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace relvane
{
namespace
{

// The text with every byte sequence that is not UTF-8 replaced by U+FFFD: annotations may carry
// the relay's own GBK names, and a page or an XML file must stay valid.
std::string ValidUtf8(const std::string& strText)
{
    std::string strOut;
    strOut.reserve(strText.size());
    const auto* p = reinterpret_cast<const unsigned char*>(strText.data());
    const std::size_t n = strText.size();
    for (std::size_t i = 0; i < n;)
    {
        const unsigned c = p[i];
        std::size_t nLength = 0;
        unsigned nMin = 0;
        if (c < 0x80)
            nLength = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            nLength = 2, nMin = 0x80;
        else if (c >= 0xE0 && c <= 0xEF)
            nLength = 3, nMin = 0x800;
        else if (c >= 0xF0 && c <= 0xF4)
            nLength = 4, nMin = 0x10000;
        bool bValid = nLength > 0 && i + nLength <= n;
        unsigned nCode = nLength == 1 ? c : (c & (0xFFu >> (nLength + 1)));
        for (std::size_t k = 1; bValid && k < nLength; ++k)
        {
            if ((p[i + k] & 0xC0) != 0x80)
                bValid = false;
            nCode = (nCode << 6) | (p[i + k] & 0x3F);
        }
        if (bValid && nLength > 1 && (nCode < nMin || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)))
            bValid = false;
        if (!bValid)
        {
            strOut += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        strOut.append(strText, i, nLength);
        i += nLength;
    }
    return strOut;
}

// Escapes for HTML text and attributes, and for XML (where control characters other than tab,
// line feed and carriage return are not allowed at all).
std::string Escape(const std::string& strText)
{
    std::string strOut;
    for (const char c : ValidUtf8(strText))
    {
        switch (c)
        {
        case '&':
            strOut += "&amp;";
            break;
        case '<':
            strOut += "&lt;";
            break;
        case '>':
            strOut += "&gt;";
            break;
        case '"':
            strOut += "&quot;";
            break;
        case '\'':
            strOut += "&#39;";
            break;
        case '\r':
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t')
                strOut += ' ';
            else
                strOut += c;
            break;
        }
    }
    return strOut;
}

std::string HexBytes(const std::vector<std::uint8_t>& abBytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    for (const std::uint8_t nByte : abBytes)
    {
        if (!strOut.empty())
            strOut += ' ';
        strOut += kHex[nByte >> 4];
        strOut += kHex[nByte & 0x0F];
    }
    return strOut;
}

// "2026-12-08 04:05:06.789" in local time ("" for no time).
std::string WallText(std::int64_t nWallUs, bool bDate = true)
{
    if (nWallUs <= 0)
        return std::string();
    const CCalendarTime local = LocalCalendarTime(nWallUs / 1000);
    char szText[64];
    if (bDate)
        std::snprintf(szText, sizeof szText, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.nYear, local.nMonth,
                      local.nDay, local.nHour, local.nMinute, local.nSecond, local.nMillisecond);
    else
        std::snprintf(szText, sizeof szText, "%02d:%02d:%02d.%03d", local.nHour, local.nMinute, local.nSecond,
                      local.nMillisecond);
    return szText;
}

std::string Seconds(std::int64_t nUs)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.3f", static_cast<double>(nUs) / 1e6);
    return szText;
}

const char* VerdictClass(Verdict eVerdict)
{
    switch (eVerdict)
    {
    case VERDICT_PASS:
        return "pass";
    case VERDICT_FAIL:
        return "fail";
    case VERDICT_NOT_APPLICABLE:
        return "na";
    default:
        return "unfinished";
    }
}

std::string ProofText(const std::vector<int>& proof)
{
    std::string strOut;
    for (const int nFrame : proof)
        strOut += (strOut.empty() ? "" : ", ") + std::to_string(nFrame);
    return strOut;
}

// One table row per frame: number, time, direction, bytes and the log's annotation.
void AppendFrameRows(std::string& strHtml, const CPlanReport& report, const std::vector<int>& numbers,
                     const std::vector<int>& highlighted)
{
    strHtml += "<table class=\"frames\"><tr><th>帧号</th><th>时间</th><th>方向</th><th>报文</th><th>注释</th></tr>\n";
    for (const int nNumber : numbers)
    {
        if (nNumber < 1 || nNumber > static_cast<int>(report.frames.size()))
            continue;
        const CPlanFrame& frame = report.frames[static_cast<std::size_t>(nNumber - 1)];
        bool bProof = false;
        for (const int n : highlighted)
            bProof = bProof || n == nNumber;
        strHtml += bProof ? "<tr class=\"proof\">" : "<tr>";
        strHtml += "<td>" + std::to_string(frame.nNumber) + "</td><td>" + WallText(frame.nWallUs, false) +
                   "</td><td>" + (frame.bInbound ? "接收" : "发送") + "</td><td class=\"bytes\">" +
                   HexBytes(frame.abBytes) + "</td><td><pre>" + Escape(frame.strAnnotation) + "</pre></td></tr>\n";
    }
    strHtml += "</table>\n";
}

} // namespace

CVerdictCount CountVerdicts(const std::vector<CCaseResult>& results)
{
    CVerdictCount count;
    for (const CCaseResult& result : results)
    {
        switch (result.eVerdict)
        {
        case VERDICT_PASS:
            ++count.nPass;
            break;
        case VERDICT_FAIL:
            ++count.nFail;
            break;
        case VERDICT_NOT_APPLICABLE:
            ++count.nNotApplicable;
            break;
        default:
            ++count.nUnfinished;
            break;
        }
    }
    return count;
}

int PlanExitStatus(const std::vector<CCaseResult>& results)
{
    const CVerdictCount count = CountVerdicts(results);
    return count.nFail == 0 && count.nUnfinished == 0 ? 0 : 1;
}

std::string BuildHtmlReport(const CPlanReport& report)
{
    const CVerdictCount count = CountVerdicts(report.results);
    std::string strHtml;
    strHtml += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\"/>\n";
    strHtml += "<title>" + Escape("测试报告 " + report.strPlanTitle) + "</title>\n";
    strHtml += "<style>\n"
               "body{font-family:\"Noto Sans CJK SC\",\"WenQuanYi Zen Hei\",\"Microsoft YaHei\",\"SimSun\",sans-serif;"
               "margin:2em;color:#000}\n"
               "table{border-collapse:collapse;margin:0.5em 0}\n"
               "th,td{border:1px solid #999;padding:2px 6px;text-align:left;vertical-align:top}\n"
               "th{background:#eee}\n"
               "pre{margin:0;white-space:pre-wrap;color:#008000;font-family:inherit}\n"
               ".bytes{font-family:monospace;word-break:break-all;max-width:28em}\n"
               ".pass{background:#c8f0c8}.fail{background:#f8c0c0}.na{background:#e0e0e0}.unfinished{background:#f8e8a0}\n"
               "tr.proof td{font-weight:bold}\n"
               ".act{border:1px solid #a00;color:#a00;padding:0 3px;font-size:smaller}\n"
               "section{margin-top:1.5em;border-top:2px solid #666}\n"
               "</style>\n</head>\n<body>\n";
    strHtml += "<h1>" + Escape("测试报告: " + report.strPlanTitle) + "</h1>\n";
    strHtml += "<h2>概要</h2>\n<table>\n";
    strHtml += "<tr><th>测试计划</th><td>" + Escape(report.strPlanId) + "</td></tr>\n";
    strHtml += "<tr><th>串口</th><td>" + Escape(report.strPort) + "</td></tr>\n";
    strHtml += "<tr><th>装置选项文件</th><td>" +
               Escape(report.strOptionsFile.empty() ? std::string("无(默认选项)") : report.strOptionsFile) + "</td></tr>\n";
    strHtml += "<tr><th>装置标识</th><td>" +
               Escape(report.strIdentification.empty() ? std::string("未收到") : report.strIdentification) +
               "</td></tr>\n";
    strHtml += "<tr><th>开始</th><td>" + WallText(report.nStartWallUs) + "</td></tr>\n";
    strHtml += "<tr><th>结束</th><td>" + WallText(report.nEndWallUs) + "</td></tr>\n";
    if (!report.strCapture.empty())
        strHtml += "<tr><th>报文捕获</th><td>" + Escape(report.strCapture) + " (帧号即捕获中的分组序号)</td></tr>\n";
    strHtml += "<tr><th>用例</th><td>" + std::to_string(report.results.size()) + "</td></tr>\n";
    strHtml += "<tr class=\"pass\"><th>通过</th><td>" + std::to_string(count.nPass) + "</td></tr>\n";
    strHtml += "<tr class=\"fail\"><th>不通过</th><td>" + std::to_string(count.nFail) + "</td></tr>\n";
    strHtml += "<tr class=\"na\"><th>不适用</th><td>" + std::to_string(count.nNotApplicable) + "</td></tr>\n";
    strHtml += "<tr class=\"unfinished\"><th>未完成</th><td>" + std::to_string(count.nUnfinished) + "</td></tr>\n";
    strHtml += "</table>\n<h2>装置选项</h2>\n<table>\n";
    for (const auto& [strLabel, strValue] : DescribeDeviceOptions(report.options, report.strPlanId))
        strHtml += "<tr><th>" + Escape(strLabel) + "</th><td>" + Escape(strValue) + "</td></tr>\n";
    strHtml += "</table>\n<h2>结果一览</h2>\n<table>\n<tr><th>编号</th><th>名称</th><th>层</th><th>结论</th><th>说明</th></tr>\n";
    for (const CCaseResult& result : report.results)
    {
        strHtml += "<tr class=\"" + std::string(VerdictClass(result.eVerdict)) + "\"><td><a href=\"#" +
                   Escape(result.strId) + "\">" + Escape(result.strId) + "</a></td><td>" + Escape(result.strTitle) +
                   (result.bActs ? " <span class=\"act\">操作</span>" : "") + "</td><td>" + Escape(result.strGroup) + "</td><td>" + VerdictText(result.eVerdict) +
                   "</td><td>" + Escape(result.strReason) + "</td></tr>\n";
    }
    strHtml += "</table>\n";
    for (const CCaseResult& result : report.results)
    {
        strHtml += "<section id=\"" + Escape(result.strId) + "\">\n<h3>" + Escape(result.strId + " " + result.strTitle) +
                   "</h3>\n<table>\n";
        strHtml += "<tr><th>结论</th><td class=\"" + std::string(VerdictClass(result.eVerdict)) + "\">" +
                   VerdictText(result.eVerdict) + "</td></tr>\n";
        strHtml += "<tr><th>说明</th><td>" + Escape(result.strReason) + "</td></tr>\n";
        if (result.bActs && result.eVerdict != VERDICT_NOT_APPLICABLE)
            strHtml += "<tr><th>操作</th><td>" +
                       Escape(result.strRestored.empty() ? std::string("本用例操作装置, 未改变其状态") : result.strRestored) +
                       "</td></tr>\n";
        strHtml += "<tr><th>证据帧</th><td>" + (result.proofFrames.empty() ? std::string("无") : ProofText(result.proofFrames)) +
                   "</td></tr>\n";
        strHtml += "<tr><th>开始</th><td>" + WallText(result.nStartWallUs) + ", 用时 " + Seconds(result.nDurationUs) +
                   " 秒</td></tr>\n</table>\n";
        if (!result.proofFrames.empty())
        {
            strHtml += "<h4>证据报文</h4>\n";
            AppendFrameRows(strHtml, report, result.proofFrames, result.proofFrames);
        }
        if (result.nFirstFrame > 0)
        {
            std::vector<int> all;
            for (int n = result.nFirstFrame; n <= result.nLastFrame; ++n)
                all.push_back(n);
            strHtml += "<details><summary>本用例全部报文 (帧 " + std::to_string(result.nFirstFrame) + " - " +
                       std::to_string(result.nLastFrame) + ")</summary>\n";
            AppendFrameRows(strHtml, report, all, result.proofFrames);
            strHtml += "</details>\n";
        }
        strHtml += "</section>\n";
    }
    strHtml += "</body>\n</html>\n";
    return strHtml;
}

std::string BuildJUnitReport(const CPlanReport& report)
{
    const CVerdictCount count = CountVerdicts(report.results);
    std::int64_t nTotalUs = 0;
    for (const CCaseResult& result : report.results)
        nTotalUs += result.nDurationUs;
    const std::string strCounts = "tests=\"" + std::to_string(report.results.size()) + "\" failures=\"" +
                                  std::to_string(count.nFail) + "\" errors=\"" + std::to_string(count.nUnfinished) +
                                  "\" skipped=\"" + std::to_string(count.nNotApplicable) + "\" time=\"" +
                                  Seconds(nTotalUs) + "\"";
    std::string strXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    strXml += "<testsuites name=\"relvane\" " + strCounts + ">\n";
    strXml += "  <testsuite name=\"" + Escape(report.strPlanId) + "\" " + strCounts + " timestamp=\"" +
              Escape(WallText(report.nStartWallUs)) + "\">\n";
    strXml += "    <properties>\n      <property name=\"title\" value=\"" + Escape(report.strPlanTitle) + "\"/>\n";
    strXml += "      <property name=\"port\" value=\"" + Escape(report.strPort) + "\"/>\n";
    strXml += "      <property name=\"options\" value=\"" + Escape(report.strOptionsFile) + "\"/>\n";
    strXml += "      <property name=\"identification\" value=\"" + Escape(report.strIdentification) + "\"/>\n";
    for (const auto& [strLabel, strValue] : DescribeDeviceOptions(report.options, report.strPlanId))
        strXml += "      <property name=\"" + Escape(strLabel) + "\" value=\"" + Escape(strValue) + "\"/>\n";
    strXml += "    </properties>\n";
    for (const CCaseResult& result : report.results)
    {
        strXml += "    <testcase classname=\"" + Escape(report.strPlanId + "." + result.strGroup) + "\" name=\"" +
                  Escape(result.strId + " " + result.strTitle) + "\" time=\"" + Seconds(result.nDurationUs) + "\">\n";
        const std::string strMessage = Escape(result.strReason);
        const std::string strProof = "证据帧: " + (result.proofFrames.empty() ? std::string("无") : ProofText(result.proofFrames));
        switch (result.eVerdict)
        {
        case VERDICT_FAIL:
            strXml += "      <failure type=\"不通过\" message=\"" + strMessage + "\">" + strProof + "</failure>\n";
            break;
        case VERDICT_UNFINISHED:
            strXml += "      <error type=\"未完成\" message=\"" + strMessage + "\">" + strProof + "</error>\n";
            break;
        case VERDICT_NOT_APPLICABLE:
            strXml += "      <skipped message=\"" + strMessage + "\"/>\n";
            break;
        default:
            break;
        }
        strXml += "      <system-out>" + Escape(std::string(VerdictText(result.eVerdict)) + ": " + result.strReason) +
                  "; " + strProof + (result.strRestored.empty() ? std::string() : "; " + Escape(result.strRestored)) +
                  "</system-out>\n";
        strXml += "    </testcase>\n";
    }
    strXml += "  </testsuite>\n</testsuites>\n";
    return strXml;
}

std::vector<std::uint8_t> BuildPlanCapture(const CPlanReport& report, bool bFt12)
{
    std::vector<std::uint8_t> abFile = pcapng::BuildSectionHeader("Relvane");
    const auto Append = [&](const std::vector<std::uint8_t>& abBlock) { abFile.insert(abFile.end(), abBlock.begin(), abBlock.end()); };
    Append(pcapng::BuildInterfaceDescription(bFt12 ? pcapng::LINKTYPE_RTAC_SERIAL : pcapng::LINKTYPE_USER0,
                                             report.strPort));
    for (const CPlanFrame& frame : report.frames)
    {
        // A frame received carries the time of its first byte, as the session's capture has it.
        const std::int64_t nTimeUs = frame.bInbound && frame.nFirstByteUs > 0
                                         ? frame.nWallUs - (frame.nSteadyUs - frame.nFirstByteUs)
                                         : frame.nWallUs;
        std::vector<std::uint8_t> abPacket;
        if (bFt12)
            abPacket = pcapng::BuildRtacHeader(nTimeUs, frame.bInbound);
        abPacket.insert(abPacket.end(), frame.abBytes.begin(), frame.abBytes.end());
        Append(pcapng::BuildEnhancedPacket(0, nTimeUs, abPacket.data(), static_cast<int>(abPacket.size()),
                                           frame.bInbound));
    }
    return abFile;
}

bool WritePlanReports(const std::string& strBase, const CPlanReport& report, bool bCapture, std::string& strError)
{
    std::vector<std::pair<std::string, std::string>> contents = {{strBase + ".html", BuildHtmlReport(report)},
                                                                 {strBase + ".xml", BuildJUnitReport(report)}};
    if (bCapture)
    {
        const std::vector<std::uint8_t> abCapture = BuildPlanCapture(report, report.strPlanId == "103");
        contents.emplace_back(strBase + ".pcapng", std::string(abCapture.begin(), abCapture.end()));
    }
    // A full disk leaves the last run's reports or this run's, never some of each; the files not
    // placed are dropped with their writers.
    std::vector<CWholeFile> files(contents.size());
    for (std::size_t i = 0; i < contents.size(); ++i)
    {
        const auto& [strPath, strText] = contents[i];
        if (!files[i].Open(strPath) || !files[i].Write(strText.data(), strText.size()) || !files[i].Finish())
        {
            strError = "cannot write \"" + strPath + "\": " + std::strerror(files[i].Error());
            return false;
        }
    }
    for (std::size_t i = 0; i < contents.size(); ++i)
    {
        if (!files[i].Commit())
        {
            strError = "cannot write \"" + contents[i].first + "\": " + std::strerror(files[i].Error());
            return false;
        }
    }
    return true;
}

} // namespace relvane
