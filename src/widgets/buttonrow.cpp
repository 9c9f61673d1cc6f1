#include "widgets/buttonrow.h"

#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* confirmRow(QWidget* dialog, QPushButton*& ok, const QString& okCaption, QPushButton*& cancel,
                        const QString& cancelCaption) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    ok = new QPushButton(okCaption, dialog);
    ok->setObjectName(QStringLiteral("bsSkinButton1"));
    ok->setDefault(true);
    cancel = new QPushButton(cancelCaption, dialog);
    cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QHBoxLayout* centredFormRow(QWidget* dialog, QPushButton*& ok, const QString& okCaption, QPushButton*& cancel,
                            const QString& cancelCaption) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    ok = new QPushButton(okCaption, dialog);
    ok->setObjectName(QStringLiteral("bsSkinButton1"));
    ok->setAutoDefault(false);
    cancel = new QPushButton(cancelCaption, dialog);
    cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addSpacing(12);
    row->addWidget(cancel);
    row->addStretch(1);
    return row;
}
