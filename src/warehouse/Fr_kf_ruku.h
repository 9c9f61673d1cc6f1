#pragma once

#include "widgets/listframe.h"

// The stock-in records, newest first, with a search by product name.
class TFr_kf_ruku : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_kf_ruku(QWidget* parent = nullptr);
};
