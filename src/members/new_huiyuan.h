#pragma once

#include "members/memberdialog.h"

// "添加新会员": registers a member and opens the card with its initial balance. The card number
// is the row's key, given by the database.
class Tnew_huiyuan : public MemberDialog {
    Q_OBJECT
public:
    explicit Tnew_huiyuan(QWidget* parent = nullptr);

public slots:
    void FormShow();
    void bsSkinButton1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void save() override { bsSkinButton1Click(); }
};

extern Tnew_huiyuan* new_huiyuan;
