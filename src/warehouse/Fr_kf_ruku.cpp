#include "warehouse/Fr_kf_ruku.h"
#include "data/listdefinitions.h"
#include "reports/reports.h"

namespace {

ListFrame::ListSetup setup() {
    return {QStringLiteral("Query_ac"),
            QStringLiteral("c2"),
            QStringLiteral("没有入库记录"),
            [] { Reports::preview(QStringLiteral("ac.rav")); },
            ListDefinitions::get(QStringLiteral("stock-in")).columns,
            1};
}

} // namespace

TFr_kf_ruku::TFr_kf_ruku(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_kf_ruku1"), QStringLiteral("入库记录"), QStringLiteral("每一次入库的明细"),
                setup(), parent) {
    finishToolBar();
    addGrid();
}
