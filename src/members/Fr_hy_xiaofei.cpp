#include "members/Fr_hy_xiaofei.h"

#include "data/data_in.h"
#include "widgets/databound.h"

TFr_hy_xiaofei::TFr_hy_xiaofei(QWidget* parent)
    : MemberRecordFrame(
          {QStringLiteral("Fr_hy_xiaofei1"), QStringLiteral("会员消费记录\n每一次刷卡消费的明细"),
           QStringLiteral("g6"), QStringLiteral("ag.rav"), QStringLiteral("没有会员消费记录"),
           [] { return Data_in->Query_ag; },
           [] {
               return QList<GridColumn>{{QStringLiteral("g5"), QStringLiteral("相关订单号"), 90},
                                        {QStringLiteral("g6"), QStringLiteral("会员卡号"), 80},
                                        {QStringLiteral("g1"), QStringLiteral("会员名"), 110},
                                        {QStringLiteral("g7"), QStringLiteral("称呼"), 60},
                                        {QStringLiteral("g2"), QStringLiteral("消费金额"), 90},
                                        {QStringLiteral("g4"), QStringLiteral("卡中余额"), 100},
                                        {QStringLiteral("g3"), QStringLiteral("消费日期"), 150}};
           }},
          parent) {}
