#include "testplan/DeviceOptions.h"

#include "testplan/TestCase.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <variant>

namespace relvane
{
namespace
{

constexpr const char* kGroup = "testplan";

// One declared option: its key in the settings file, its label, and where it lives.
struct COptionField
{
    const char* pszKey;
    const char* pszLabel;
    std::variant<int CDeviceOptions::*, bool CDeviceOptions::*> member;
    int nMin = 0;
    int nMax = 0;
};

const std::vector<COptionField>& Fields()
{
    static const std::vector<COptionField> s_fields = {
        {"deviceAddress", "装置地址(链路地址)", &CDeviceOptions::nDeviceAddress, 0, 255},
        {"commonAddress", "公共地址(CPU号)", &CDeviceOptions::nCommonAddress, 0, 255},
        {"settingGroup", "定值组", &CDeviceOptions::nSettingGroup, 0, 255},
        {"model", "装置型号(0 KLR10, 1 KTR20)", &CDeviceOptions::nModel, 0, 1},
        {"responseLimitMs", "应答时限(毫秒)", &CDeviceOptions::nResponseLimitMs, 10, 60000},
        {"clockToleranceMs", "时钟容差(毫秒)", &CDeviceOptions::nClockToleranceMs, 0, 600000},
        {"generalInterrogation", "支持总查询", &CDeviceOptions::bGeneralInterrogation},
        {"clockAnswer", "时间同步带回答", &CDeviceOptions::bClockAnswer},
        {"generalCommand", "支持一般命令", &CDeviceOptions::bGeneralCommand},
        {"commandFun", "一般命令功能类型(FUN)", &CDeviceOptions::nCommandFun, 0, 255},
        {"commandInf", "一般命令信息序号(INF)", &CDeviceOptions::nCommandInf, 0, 255},
        {"genericServices", "支持通用分类服务", &CDeviceOptions::bGenericServices},
        {"disturbanceData", "支持扰动数据", &CDeviceOptions::bDisturbanceData},
        {"measurands", "支持测量值", &CDeviceOptions::bMeasurands},
        {"singleCharAck", "单字符确认(E5)", &CDeviceOptions::bSingleCharAck},
    };
    return s_fields;
}

bool ReadFields(QSettings& settings, CDeviceOptions& options, std::string& strError)
{
    settings.beginGroup(kGroup);
    const QStringList keys = settings.childKeys();
    for (const QString& strKey : keys)
    {
        const COptionField* pField = nullptr;
        for (const COptionField& field : Fields())
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
    for (const COptionField& field : Fields())
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
    };
    for (const auto& [nFeature, bOn] : declared)
    {
        if ((nFeatures & nFeature) != 0 && !bOn)
            return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> DescribeDeviceOptions(const CDeviceOptions& options)
{
    std::vector<std::pair<std::string, std::string>> rows;
    for (const COptionField& field : Fields())
    {
        if (const auto* pInt = std::get_if<int CDeviceOptions::*>(&field.member))
            rows.emplace_back(field.pszLabel, std::to_string(options.*(*pInt)));
        else
            rows.emplace_back(field.pszLabel, options.*std::get<bool CDeviceOptions::*>(field.member) ? "是" : "否");
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
    QSettings settings(strPath, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
    {
        strError = "options file \"" + strFile + "\" is not an INI file";
        return false;
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
