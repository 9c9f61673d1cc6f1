#pragma once

#include "widgets/frame.h"

class TFr_jiesuan : public Frame {
    Q_OBJECT
public:
    explicit TFr_jiesuan(QWidget* parent = nullptr);
};
