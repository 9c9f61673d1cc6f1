#include "warehouse/Fr_kf_ruku.h"

namespace {

ListFrame::ListSetup setup() {
    return {QStringLiteral("Query_ac"),
            QStringLiteral("c2"),
            QStringLiteral("没有入库记录"),
            QStringLiteral("ac.rav"),
            {{QStringLiteral("cid"), QStringLiteral("入库单号"), 64},
             {QStringLiteral("c1"), QStringLiteral("产品编号"), 60},
             {QStringLiteral("c8"), QStringLiteral("大类"), 70},
             {QStringLiteral("c9"), QStringLiteral("细类"), 70},
             {QStringLiteral("c2"), QStringLiteral("产品名称"), 160},
             {QStringLiteral("c3"), QStringLiteral("入库数量"), 60},
             {QStringLiteral("c11"), QStringLiteral("单位"), 60},
             {QStringLiteral("c4"), QStringLiteral("成本价"), 60},
             {QStringLiteral("c5"), QStringLiteral("批发价"), 60},
             {QStringLiteral("c6"), QStringLiteral("销售价"), 60},
             {QStringLiteral("c12"), QStringLiteral("合计"), 60},
             {QStringLiteral("c7"), QStringLiteral("入库时间"), 80}},
            1};
}

} // namespace

TFr_kf_ruku::TFr_kf_ruku(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_kf_ruku1"), QStringLiteral("入库记录"), QStringLiteral("每一次入库的明细"),
                setup(), parent) {
    finishToolBar();
    addGrid();
}
