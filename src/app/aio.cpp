#include "app/aio.h"

Taio* aio = nullptr;

Taio::Taio(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aio"));
    setWindowTitle(QStringLiteral("Vandrel软件服务中心"));
}
