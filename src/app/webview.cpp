#include "app/webview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <unistd.h>

namespace {

bool g_blocked = false;

// Refuses network requests while the embedded pages are told to stay offline.
class Gate : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (g_blocked && scheme != QLatin1String("qrc") && scheme != QLatin1String("data") &&
            scheme != QLatin1String("about"))
            info.block(true);
    }
};

// One profile for every embedded page: nothing is written to disk (no cache, no cookies file).
QWebEngineProfile* profile() {
    static QWebEngineProfile* shared = nullptr;
    if (!shared) {
        shared = new QWebEngineProfile(qApp); // no storage name: kept in memory only
        shared->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        shared->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        shared->setUrlRequestInterceptor(new Gate(shared));
        QObject::connect(qApp, &QObject::destroyed, [] { shared = nullptr; });
    }
    return shared;
}

bool isRightClick(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

void WebView::prepareEnvironment() {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The engine shares its drawing contexts with the windows; this must be set before the
    // application object exists.
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

namespace {
// Every program that links the browser (the ledger, its tools and tests) is prepared before
// its main() makes the application object.
const bool environmentPrepared = [] {
    WebView::prepareEnvironment();
    return true;
}();
} // namespace

void WebView::setNetworkBlocked(bool blocked) {
    g_blocked = blocked;
}

bool WebView::networkBlocked() {
    return g_blocked;
}

WebView::WebView(const QString& name, const QString& offlinePage, QWidget* parent)
    : QWidget(parent), m_offlinePage(offlinePage) {
    setObjectName(name);
    prepareEnvironment();
    m_engine = new QWebEngineView(profile(), this);
    m_engine->setObjectName(name + QStringLiteral("Engine"));
    // The engine is named after the view, also when a form names the view after making it.
    connect(this, &QObject::objectNameChanged, m_engine,
            [this](const QString& now) { m_engine->setObjectName(now + QStringLiteral("Engine")); });
    m_engine->setContextMenuPolicy(Qt::NoContextMenu);
    m_engine->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_engine);
    connect(m_engine, &QWebEngineView::loadFinished, this, &WebView::loadFinished);
    // Sees every event of the program before it is delivered, like a message hook; it acts
    // only on this browser and what lies inside it.
    qApp->installEventFilter(this);
}

WebView::~WebView() {
    qApp->removeEventFilter(this);
}

void WebView::load(const QUrl& address) {
    m_address = address;
    m_offline = false;
    m_showingFallback = false;
    m_engine->load(address);
}

void WebView::loadFinished(bool ok) {
    if (m_showingFallback) {
        // The offline page itself has loaded (or, if it could not, nothing more is tried).
        m_showingFallback = false;
        return;
    }
    if (ok) {
        m_offline = false;
        emit pageLoaded(true);
        return;
    }
    QFile file(m_offlinePage);
    if (file.open(QIODevice::ReadOnly)) {
        m_showingFallback = true;
        m_offline = true;
        m_engine->setHtml(QString::fromUtf8(file.readAll()), QUrl(QStringLiteral("qrc:/web/")));
    }
    emit pageLoaded(false);
}

bool WebView::eventFilter(QObject* watched, QEvent* event) {
    // The event first: the application's filter also sees objects still being built, which must
    // not be touched.
    if (isRightClick(event) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == m_engine || m_engine->isAncestorOf(widget))
            return true; // dropped: the right button does nothing inside the browser
    }
    return QWidget::eventFilter(watched, event);
}
