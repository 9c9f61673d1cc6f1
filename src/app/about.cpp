#include "app/about.h"

Tabout* about = nullptr;

Tabout::Tabout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("关于"));
}
