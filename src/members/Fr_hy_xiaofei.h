#pragma once

#include "widgets/listframe.h"

// The consumption records page: every card payment of every member, newest first, found by card
// number.
class TFr_hy_xiaofei : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_hy_xiaofei(QWidget* parent = nullptr);
};
