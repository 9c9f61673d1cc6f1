#pragma once

#include <QString>

class QHBoxLayout;
class QPushButton;
class QWidget;

// The row at the foot of a dialog: the confirming button `bsSkinButton1` (the dialog's default,
// so Enter presses it) and the cancelling button `bsSkinButton2`, at the right end.
QHBoxLayout* confirmRow(QWidget* dialog, QPushButton*& ok, const QString& okCaption, QPushButton*& cancel,
                        const QString& cancelCaption);

// The same two buttons centred at the foot of a form where Enter moves between fields instead of
// saving: neither button is the default.
QHBoxLayout* centredFormRow(QWidget* dialog, QPushButton*& ok, const QString& okCaption, QPushButton*& cancel,
                            const QString& cancelCaption);
