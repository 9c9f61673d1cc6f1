#include "reports/reports.h"

#include "core/errors.h"
#include "data/data_in.h"

#include <QDir>

namespace {
Reports::PreviewHook previewHook;
}

QString Reports::printFolder() {
    return QDir(Data_in ? Data_in->folder() : QDir::currentPath()).absoluteFilePath(QStringLiteral("print"));
}

void Reports::setPreviewHook(PreviewHook hook) {
    previewHook = std::move(hook);
}

void Reports::preview(const QString& definition, const Parameters& parameters) {
    if (previewHook) {
        previewHook(definition, parameters);
        return;
    }
    renderPdf(definition, QString(), parameters);
}

void Reports::renderPdf(const QString& definition, const QString&, const Parameters&) {
    // The engine comes with the report definitions.
    throw LedgerError(
        QStringLiteral("报表定义无法读取: %1").arg(QDir(printFolder()).absoluteFilePath(definition)));
}
