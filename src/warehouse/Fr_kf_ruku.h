#pragma once

#include "widgets/frame.h"

class TFr_kf_ruku : public Frame {
    Q_OBJECT
public:
    explicit TFr_kf_ruku(QWidget* parent = nullptr);
};
