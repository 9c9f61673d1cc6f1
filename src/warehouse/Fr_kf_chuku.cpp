#include "warehouse/Fr_kf_chuku.h"
#include "data/listdefinitions.h"
#include "reports/reports.h"

namespace {

ListFrame::ListSetup setup() {
    return {QStringLiteral("Query_ae"),
            QStringLiteral("e2"),
            QStringLiteral("没有出库记录"),
            [] { Reports::preview(QStringLiteral("ae.rav")); },
            ListDefinitions::get(QStringLiteral("stock-out")).columns,
            3};
}

} // namespace

TFr_kf_chuku::TFr_kf_chuku(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_kf_chuku1"), QStringLiteral("出库记录"),
                QStringLiteral("订单带走的每一件货品"), setup(), parent) {
    finishToolBar();
    addGrid();
}
