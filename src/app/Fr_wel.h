#pragma once

#include "widgets/frame.h"

class TFr_wel : public Frame {
    Q_OBJECT
public:
    explicit TFr_wel(QWidget* parent = nullptr);
};
