#pragma once

#include "members/memberpage.h"

// The recharge records page: every recharge of every card, newest first.
class TFr_hy_chongzhi : public MemberRecordFrame {
    Q_OBJECT
public:
    explicit TFr_hy_chongzhi(QWidget* parent = nullptr);
};
