#pragma once

#include "ledger/members.h"
#include "members/memberdialog.h"

// "编辑会员资料": rewrites a member's personal data. The members page fills every input before
// each showing; card number, balance and card date are not changed here.
class Tedit_huiyuan : public MemberDialog {
    Q_OBJECT
public:
    explicit Tedit_huiyuan(QWidget* parent = nullptr);

    // Fills every input with the member's stored data, shown whole even where a text breaks the
    // limits and filters of its box: the save writes back what is shown.
    void prepare(qint64 card, const Members::Person& person);
    qint64 card() const { return m_card; }

public slots:
    void bsSkinButton1Click();

protected:
    void save() override { bsSkinButton1Click(); }

private:
    // Shows the salutation; a text that is not in the list shows as empty.
    void setSalutation(const QString& text);

    qint64 m_card = 0;
};

extern Tedit_huiyuan* edit_huiyuan;
