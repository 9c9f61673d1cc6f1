#pragma once

#include <optional>

#include "core/money.h"
#include "widgets/frame.h"

class LinkImage;
class QLabel;
class QFrame;
class QGroupBox;
class WebView;

// The welcome page: greeting banner, the maker's logo, five shortcuts laid out as the day's
// workflow (入库 → 库房 → 订单 → 结算 ← 会员), links to the guide and the service centre, and
// the maker's news in a small embedded browser.
class TFr_wel : public Frame {
    Q_OBJECT
public:
    explicit TFr_wel(QWidget* parent = nullptr);

    QFrame* bsSkinPanel3 = nullptr;
    QFrame* bsSkinPanel5 = nullptr;
    QFrame* bsSkinPanel1 = nullptr;
    QFrame* bsSkinPanel4 = nullptr;
    QGroupBox* bsSkinGroupBox2 = nullptr;
    QGroupBox* bsSkinGroupBox3 = nullptr;
    LinkImage* Image1 = nullptr;           // decoration
    LinkImage* Image2 = nullptr;           // logo: the maker's home page
    LinkImage* Image3 = nullptr;           // greeting banner
    LinkImage* Image4 = nullptr;           // 从这里开始工作
    LinkImage* Image5 = nullptr;           // the arrows behind the shortcuts
    LinkImage* Image6 = nullptr;           // 会员
    LinkImage* Image7 = nullptr;           // 结算
    LinkImage* Image8 = nullptr;           // 订单
    LinkImage* Image9 = nullptr;           // 库房
    LinkImage* Image10 = nullptr;          // 入库
    LinkImage* bsSkinLinkImage2 = nullptr; // quick start: the guide
    LinkImage* bsSkinLinkImage3 = nullptr; // contact: the service centre
    WebView* WebBrowser1 = nullptr;
    QLabel* bsSkinStdLabel1 = nullptr; // how many products run short; a link to the warning list
    QLabel* lblToday = nullptr;        // today's sales, profit and orders; a link to the statistics

    // Says how many products are at or below their warning level; hidden when none is.
    void showLowStock(int count);

    // Today's figures at a glance.
    // The profit is left out for those who may not see it (none given).
    void showToday(Currency sales, std::optional<Currency> profit, int orders);

    // The news page on the maker's site.
    static QString newsAddress();

public slots:
    void Image10Click();
    void Image9Click();
    void Image8Click();
    void Image7Click();
    void Image6Click();
    void Image2Click();
    void bsSkinLinkImage2Click();
    void bsSkinLinkImage3Click();
};
