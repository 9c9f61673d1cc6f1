#include "app/aio.h"

#include "app/webview.h"
#include "core/site.h"

Taio* aio = nullptr;

QString Taio::serviceAddress() {
    return Site::url(QStringLiteral("/morvik_yun/kestrion/aio.html"));
}

Taio::Taio(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    WebBrowser1->setOfflinePage(QStringLiteral(":/web/service.html"));
    FormCreate();
}

void Taio::FormCreate() {
    // The form places the browser a little larger than the window, so the window clips its border.
    WebBrowser1->load(QUrl(serviceAddress()));
}
