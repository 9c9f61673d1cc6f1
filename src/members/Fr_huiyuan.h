#pragma once

#include "widgets/frame.h"

class TFr_huiyuan : public Frame {
    Q_OBJECT
public:
    explicit TFr_huiyuan(QWidget* parent = nullptr);
};
