#pragma once

#include "widgets/listframe.h"

// The recharge records page: every recharge of every card, newest first, found by card number.
class TFr_hy_chongzhi : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_hy_chongzhi(QWidget* parent = nullptr);
};
