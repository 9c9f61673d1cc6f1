#include "app/help.h"

Thelp* help = nullptr;

Thelp::Thelp(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("Vandrel进销存使用入门"));
}
