#include "app/aio.h"

#include "app/webview.h"
#include "core/site.h"

Taio* aio = nullptr;

QString Taio::serviceAddress() {
    return Site::url(QStringLiteral("/morvik_yun/kestrion/aio.html"));
}

Taio::Taio(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aio"));
    setWindowTitle(QStringLiteral("Vandrel软件服务中心"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(735, 436);
    WebBrowser1 = new WebView(QStringLiteral("WebBrowser1"), QStringLiteral(":/web/service.html"), this);
    FormCreate();
}

void Taio::FormCreate() {
    WebBrowser1->load(QUrl(serviceAddress()));
    // A little larger than the window, so the window clips the browser's border.
    WebBrowser1->setGeometry(-2, -2, width() + 3, height() + 3);
}
