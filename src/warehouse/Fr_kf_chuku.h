#pragma once

#include "widgets/listframe.h"

// The stock-out records the orders wrote, newest first, with a search by product name.
class TFr_kf_chuku : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_kf_chuku(QWidget* parent = nullptr);
};
