#pragma once

#include "members/memberpage.h"

// The consumption records page: every card payment of every member, newest first.
class TFr_hy_xiaofei : public MemberRecordFrame {
    Q_OBJECT
public:
    explicit TFr_hy_xiaofei(QWidget* parent = nullptr);
};
