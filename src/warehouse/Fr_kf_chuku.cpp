#include "warehouse/Fr_kf_chuku.h"

namespace {

ListFrame::ListSetup setup() {
    return {QStringLiteral("Query_ae"),
            QStringLiteral("e2"),
            QStringLiteral("没有出库记录"),
            QStringLiteral("ae.rav"),
            {{QStringLiteral("e11"), QStringLiteral("相关订单号"), 80},
             {QStringLiteral("e1"), QStringLiteral("产品编号"), 70},
             {QStringLiteral("e8"), QStringLiteral("大类"), 70},
             {QStringLiteral("e9"), QStringLiteral("细类"), 70},
             {QStringLiteral("e2"), QStringLiteral("产品名称"), 200},
             {QStringLiteral("e3"), QStringLiteral("出库数量"), 70},
             {QStringLiteral("e12"), QStringLiteral("单位"), 50},
             {QStringLiteral("e6"), QStringLiteral("销售价"), 60},
             {QStringLiteral("e7"), QStringLiteral("出库时间"), 125}},
            3};
}

} // namespace

TFr_kf_chuku::TFr_kf_chuku(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_kf_chuku1"), QStringLiteral("出库记录"),
                QStringLiteral("订单带走的每一件货品"), setup(), parent) {
    finishToolBar();
    addGrid();
}
