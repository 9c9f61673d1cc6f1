#pragma once

#include "widgets/frame.h"

class TFr_hy_xiaofei : public Frame {
    Q_OBJECT
public:
    explicit TFr_hy_xiaofei(QWidget* parent = nullptr);
};
