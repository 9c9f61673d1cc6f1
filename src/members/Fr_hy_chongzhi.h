#pragma once

#include "widgets/frame.h"

class TFr_hy_chongzhi : public Frame {
    Q_OBJECT
public:
    explicit TFr_hy_chongzhi(QWidget* parent = nullptr);
};
