#include "iec103forms/Iec103FormEntries.h"

#include "iec103/GenericList.h"

namespace relvane
{

const QStringList& KodEntries()
{
    static const QStringList s_list{QStringLiteral("0  无所指定的描述类别"),
                                    QStringLiteral("1  实际值"),
                                    QStringLiteral("2  缺省值"),
                                    QStringLiteral("3  量程"),
                                    QStringLiteral("5  精度"),
                                    QStringLiteral("6  因子"),
                                    QStringLiteral("7  %参比"),
                                    QStringLiteral("8  列表"),
                                    QStringLiteral("9  量纲"),
                                    QStringLiteral("10  描述")};
    return s_list;
}

const QStringList& DataTypeEntries()
{
    static const QStringList s_list{QStringLiteral("3  UI  无符号整数"),
                                    QStringLiteral("7  R32.23  IEEE标准754短实数"),
                                    QStringLiteral("9  双点信息")};
    return s_list;
}

const QStringList& GenericDataInfEntries()
{
    static const QStringList s_list{QStringLiteral("249  带确认的写条目"),
                                    QStringLiteral("250  带执行的写条目"),
                                    QStringLiteral("251  带终止的写条目")};
    return s_list;
}

const QStringList& GenericIdentificationInfEntries()
{
    static const QStringList s_list{
        QStringLiteral("240  读全部被定义的组的标题"), QStringLiteral("241  读一个组全部条目的值或属性"),
        QStringLiteral("243  读单个条目的目录"), QStringLiteral("244  读单个条目的值或属性"),
        QStringLiteral("245  对通用分类数据的总查询")};
    return s_list;
}

const QStringList& TooEntries(int nAsdu)
{
    static const QStringList s_list24{QStringLiteral("24  请求被记录的扰动表"),
                                      QStringLiteral("1  故障的选择"),
                                      QStringLiteral("2  请求扰动数据"),
                                      QStringLiteral("16  请求带标志的状态变位"),
                                      QStringLiteral("8  通道的请求"),
                                      QStringLiteral("3  中止扰动数据"),
                                      QStringLiteral("17  中止带标志的状态变位"),
                                      QStringLiteral("9  通道的中止")};
    static const QStringList s_list25{QStringLiteral("68  成功地带标志的状态变位传输"),
                                      QStringLiteral("69  不成功地带标志的状态变位传输"),
                                      QStringLiteral("66  成功地通道传输"),
                                      QStringLiteral("67  不成功地通道传输"),
                                      QStringLiteral("64  成功地扰动数据传输"),
                                      QStringLiteral("65  不成功地扰动数据传输")};
    return nAsdu == 25 ? s_list25 : s_list24;
}

const QStringList& DcoEntries()
{
    static const QStringList s_list{QStringLiteral("分(1)"), QStringLiteral("合(2)")};
    return s_list;
}

int LeadingNumberOf(const QString& strText)
{
    return LeadingNumber(strText.toStdString());
}

} // namespace relvane
