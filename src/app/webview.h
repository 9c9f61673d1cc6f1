#pragma once

#include <QUrl>
#include <QWidget>

class QWebEngineView;

// The program's embedded browser: shows one page of the maker's site inside a panel. It can be
// placed and sized freely inside its parent (the parent clips what lies outside), the right
// mouse button does nothing inside it (no context menu), and when a page cannot be loaded it
// shows a page of our own from the resources instead of the engine's error page.
class WebView : public QWidget {
    Q_OBJECT
public:
    // offlinePage: a resource path such as ":/web/news.html", shown when a load fails.
    WebView(const QString& name, const QString& offlinePage, QWidget* parent = nullptr);
    // As a form makes it: the name and the offline page are set afterwards.
    explicit WebView(QWidget* parent) : WebView(QString(), QString(), parent) {}
    ~WebView() override;

    // Starts loading the address; the result only decides whether the offline page is shown.
    void load(const QUrl& address);
    // The address last asked for (not the offline page's).
    QUrl address() const { return m_address; }
    void setOfflinePage(const QString& offlinePage) { m_offlinePage = offlinePage; }
    // True while the offline page stands in for the address.
    bool showsOfflinePage() const { return m_offline; }
    QWebEngineView* engine() const { return m_engine; }

    // Blocks every network request of the embedded pages (tests, and machines with no network):
    // loads then fail at once and the offline pages are shown.
    static void setNetworkBlocked(bool blocked);
    static bool networkBlocked();
    // As root the engine refuses to start without this; call before QApplication is made.
    static void prepareEnvironment();

signals:
    // A load ended: ok is false when the address failed and the offline page was shown.
    void pageLoaded(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadFinished(bool ok);
    QWebEngineView* m_engine = nullptr;
    QString m_offlinePage;
    QUrl m_address;
    bool m_offline = false;
    bool m_showingFallback = false;
};
