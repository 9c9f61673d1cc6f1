#pragma once

#include "widgets/frame.h"

class TFr_kucun : public Frame {
    Q_OBJECT
public:
    explicit TFr_kucun(QWidget* parent = nullptr);
};
