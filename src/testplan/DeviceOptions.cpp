#include "testplan/DeviceOptions.h"

#include "testplan/TestCase.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <fstream>
#include <variant>

namespace relvane
{
namespace
{

constexpr const char* kGroup = "testplan";

using COptionField = CDeviceOptionField;
constexpr int kNone = CDeviceOptions::kNoPoint;

const std::vector<COptionField>& Fields()
{
    static const std::vector<COptionField> s_fields = {
        {"deviceAddress", "装置地址(链路地址)", &CDeviceOptions::nDeviceAddress, 0, 255},
        {"commonAddress", "公共地址(CPU号)", &CDeviceOptions::nCommonAddress, 0, 255},
        {"settingGroup", "定值组", &CDeviceOptions::nSettingGroup, 0, 255, PLANS_94},
        {"model", "装置型号(0 KLR10, 1 KTR20)", &CDeviceOptions::nModel, 0, 1, PLANS_94},
        {"responseLimitMs", "应答时限(毫秒)", &CDeviceOptions::nResponseLimitMs, 10, 60000},
        {"clockToleranceMs", "时钟容差(毫秒)", &CDeviceOptions::nClockToleranceMs, 0, 600000},
        {"generalInterrogation", "支持总查询", &CDeviceOptions::bGeneralInterrogation, 0, 0, PLANS_103},
        {"clockAnswer", "时间同步带回答", &CDeviceOptions::bClockAnswer, 0, 0, PLANS_103},
        {"generalCommand", "支持一般命令", &CDeviceOptions::bGeneralCommand, 0, 0, PLANS_103},
        {"commandFun", "一般命令功能类型(FUN)", &CDeviceOptions::nCommandFun, 0, 255, PLANS_103},
        {"commandInf", "一般命令信息序号(INF)", &CDeviceOptions::nCommandInf, kNone, 255, PLANS_103},
        {"genericServices", "支持通用分类服务", &CDeviceOptions::bGenericServices, 0, 0, PLANS_103},
        {"disturbanceData", "支持扰动数据", &CDeviceOptions::bDisturbanceData, 0, 0, PLANS_103},
        {"measurands", "支持测量值", &CDeviceOptions::bMeasurands, 0, 0, PLANS_103},
        {"singleCharAck", "单字符确认(E5)", &CDeviceOptions::bSingleCharAck, 0, 0, PLANS_103},
        {"answerWaitMs", "确认后等待应用数据(毫秒)", &CDeviceOptions::nAnswerWaitMs, 100, 600000, PLANS_103},
        {"measurandWaitMs", "等待测量值(毫秒)", &CDeviceOptions::nMeasurandWaitMs, 100, 3600000, PLANS_103},
        {"eventWaitMs", "等待自发事件(毫秒)", &CDeviceOptions::nEventWaitMs, 100, 3600000, PLANS_103},
        {"spontaneousEvents", "会自发上送事件", &CDeviceOptions::bSpontaneousEvents, 0, 0, PLANS_103},
        {"broadcastTimeSync", "接受广播对时", &CDeviceOptions::bBroadcastTimeSync, 0, 0, PLANS_103},
        {"absentFun", "装置没有的功能类型(FUN)", &CDeviceOptions::nAbsentFun, kNone, 255, PLANS_103},
        {"absentInf", "装置没有的信息序号(INF)", &CDeviceOptions::nAbsentInf, kNone, 255, PLANS_103},
        {"writeGroup", "可写的通用分类组号", &CDeviceOptions::nWriteGroup, kNone, 255, PLANS_103},
        {"writeEntry", "可写的通用分类条目号", &CDeviceOptions::nWriteEntry, kNone, 255, PLANS_103},
        {"switchGroup", "可切换到的定值区", &CDeviceOptions::nSwitchGroup, kNone, 255, PLANS_94},
    };
    return s_fields;
}

std::string ValueText(const COptionField& field, const CDeviceOptions& options)
{
    if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member))
    {
        const int nValue = options.*(*pInt);
        return nValue == kNone && field.nMin == kNone ? std::string("未指定") : std::to_string(nValue);
    }
    return options.*std::get<bool CDeviceOptions::*>(field.member) ? "是" : "否";
}

// The first line that is neither blank nor a comment, trimmed.
std::string FirstLine(const std::string& strFile)
{
    std::ifstream file(strFile, std::ios::binary);
    std::string strLine;
    while (std::getline(file, strLine))
    {
        if (strLine.size() >= 3 && strLine.compare(0, 3, "\xEF\xBB\xBF") == 0)
            strLine.erase(0, 3);
        const std::size_t nBegin = strLine.find_first_not_of(" \t\r");
        if (nBegin == std::string::npos || strLine[nBegin] == ';' || strLine[nBegin] == '#')
            continue;
        const std::size_t nEnd = strLine.find_last_not_of(" \t\r");
        return strLine.substr(nBegin, nEnd - nBegin + 1);
    }
    return {};
}

bool ReadFields(QSettings& settings, CDeviceOptions& options, std::string& strError)
{
    settings.beginGroup(kGroup);
    const QStringList keys = settings.childKeys();
    for (const QString& strKey : keys)
    {
        const COptionField* pField = nullptr;
        for (const COptionField& field : DeviceOptionFields())
        {
            if (strKey == QLatin1String(field.pszKey))
                pField = &field;
        }
        if (pField == nullptr)
        {
            strError = "unknown option \"" + strKey.toStdString() + "\"";
            return false;
        }
        const QString strValue = settings.value(strKey).toString().trimmed();
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&pField->member))
        {
            bool bOk = false;
            const int nValue = strValue.toInt(&bOk);
            if (!bOk || nValue < pField->nMin || nValue > pField->nMax)
            {
                strError = "option \"" + strKey.toStdString() + "\" must be a number from " +
                           std::to_string(pField->nMin) + " to " + std::to_string(pField->nMax) + ", not \"" +
                           strValue.toStdString() + "\"";
                return false;
            }
            options.*(*pInt) = nValue;
        }
        else
        {
            const QString strLower = strValue.toLower();
            const bool bTrue = strLower == "true" || strLower == "1" || strLower == "yes";
            const bool bFalse = strLower == "false" || strLower == "0" || strLower == "no";
            if (!bTrue && !bFalse)
            {
                strError = "option \"" + strKey.toStdString() + "\" must be true or false, not \"" +
                           strValue.toStdString() + "\"";
                return false;
            }
            options.*std::get<bool CDeviceOptions::*>(pField->member) = bTrue;
        }
    }
    settings.endGroup();
    return true;
}

void WriteFields(QSettings& settings, const CDeviceOptions& options)
{
    settings.beginGroup(kGroup);
    for (const COptionField& field : DeviceOptionFields())
    {
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member))
            settings.setValue(field.pszKey, options.*(*pInt));
        else
            settings.setValue(field.pszKey, options.*std::get<bool CDeviceOptions::*>(field.member));
    }
    settings.endGroup();
}

QSettings OwnSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("relvane"),
                     QStringLiteral("relvane"));
}

} // namespace

const std::vector<CDeviceOptionField>& DeviceOptionFields()
{
    return Fields();
}

bool FieldUsedBy(const CDeviceOptionField& field, const std::string& strPlanId)
{
    if (strPlanId == "103")
        return (field.nPlans & PLANS_103) != 0;
    if (strPlanId == "94")
        return (field.nPlans & PLANS_94) != 0;
    return true;
}

bool CDeviceOptions::Has(unsigned nFeatures) const
{
    const std::pair<unsigned, bool> declared[] = {
        {FEATURE_GENERAL_INTERROGATION, bGeneralInterrogation},
        {FEATURE_CLOCK_ANSWER, bClockAnswer},
        {FEATURE_GENERAL_COMMAND, bGeneralCommand},
        {FEATURE_GENERIC_SERVICES, bGenericServices},
        {FEATURE_DISTURBANCE_DATA, bDisturbanceData},
        {FEATURE_MEASURANDS, bMeasurands},
        {FEATURE_SINGLE_CHAR_ACK, bSingleCharAck},
        {FEATURE_SPONTANEOUS_EVENTS, bSpontaneousEvents},
        {FEATURE_BROADCAST_TIME_SYNC, bBroadcastTimeSync},
    };
    for (const auto& [nFeature, bOn] : declared)
    {
        if ((nFeatures & nFeature) != 0 && !bOn)
            return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> DescribeDeviceOptions(const CDeviceOptions& options,
                                                                       const std::string& strPlanId)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const COptionField& field : Fields())
    {
        if (FieldUsedBy(field, strPlanId))
            rows.emplace_back(field.pszLabel, ValueText(field, options));
    }
    return rows;
}

bool CheckDeviceOptions(const CDeviceOptions& options, std::string& strError)
{
    for (const COptionField& field : Fields())
    {
        const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member);
        if (pInt == nullptr)
            continue;
        const int nValue = options.*(*pInt);
        if (nValue < field.nMin || nValue > field.nMax)
        {
            strError = std::string(field.pszLabel) + ": " + std::to_string(nValue) + " (" +
                       std::to_string(field.nMin) + " - " + std::to_string(field.nMax) + ")";
            return false;
        }
    }
    return true;
}

bool LoadDeviceOptions(const std::string& strFile, CDeviceOptions& options, std::string& strError)
{
    const QString strPath = QString::fromStdString(strFile);
    const QFileInfo info(strPath);
    if (!info.isFile() || !info.isReadable())
    {
        strError = "cannot read options file \"" + strFile + "\"";
        return false;
    }
    // A file without its group heading would otherwise be read as nothing at all, and the run
    // would go on with defaults the user never chose.
    if (FirstLine(strFile) != "[testplan]")
    {
        strError = "options file \"" + strFile + "\" must start with the line [testplan]";
        return false;
    }
    QSettings settings(strPath, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
    {
        strError = "options file \"" + strFile + "\" is not an INI file";
        return false;
    }
    if (!settings.childKeys().isEmpty())
    {
        strError = strFile + ": unknown option \"" + settings.childKeys().front().toStdString() +
                   "\" outside [testplan]";
        return false;
    }
    const QStringList groups = settings.childGroups();
    for (const QString& strGroup : groups)
    {
        if (strGroup != QLatin1String(kGroup))
        {
            strError = strFile + ": unknown section [" + strGroup.toStdString() + "]";
            return false;
        }
    }
    CDeviceOptions read = options;
    if (!ReadFields(settings, read, strError))
    {
        strError = strFile + ": " + strError;
        return false;
    }
    options = read;
    return true;
}

bool SaveDeviceOptions(const std::string& strFile, const CDeviceOptions& options, std::string& strError)
{
    QSettings settings(QString::fromStdString(strFile), QSettings::IniFormat);
    WriteFields(settings, options);
    settings.sync();
    if (settings.status() != QSettings::NoError)
    {
        strError = "cannot write options file \"" + strFile + "\"";
        return false;
    }
    return true;
}

CDeviceOptions LoadOwnDeviceOptions()
{
    QSettings settings = OwnSettings();
    CDeviceOptions options;
    std::string strError;
    if (!ReadFields(settings, options, strError))
        return CDeviceOptions();
    return options;
}

void SaveOwnDeviceOptions(const CDeviceOptions& options)
{
    QSettings settings = OwnSettings();
    WriteFields(settings, options);
    settings.sync();
}

} // namespace relvane
