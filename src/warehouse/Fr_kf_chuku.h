#pragma once

#include "widgets/frame.h"

class TFr_kf_chuku : public Frame {
    Q_OBJECT
public:
    explicit TFr_kf_chuku(QWidget* parent = nullptr);
};
