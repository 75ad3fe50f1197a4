#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEngineLoadingInfo>

#include <string>

class QWebEngineView;

namespace updater {

// Drives the news browser (newsView): the local start page while the launcher updates, the
// community's home page afterwards, and the local error page whenever a navigation fails.
class NewsPage : public QObject
{
    Q_OBJECT
public:
    // The text shown when even the error page cannot be loaded.
    static const char* const FallbackHtml;

    NewsPage(QWebEngineView* view, std::string homepage, QObject* parent = nullptr);

    void showStartPage(); // "Tarvo-Updater\www\index.htm" of the game folder
    void showHomepage();  // the configured Homepage, unchanged
    void reload();        // the "RE" button: the page now shown, the error page included
    void siteNotFound();  // what every failed navigation leads to

    static QUrl startPageUrl();
    static QUrl errorPageUrl();

    bool showsErrorPage() const { return m_stage == Stage::ErrorPage; }
    bool showsFallbackText() const { return m_stage == Stage::Fallback; }

signals:
    // Every failed navigation, after the reaction to it has begun, with why: "HTTP 404" for a
    // server's answer, else the browser's own words (for the log, and tests).
    void navigationFailed(const QUrl& url, const QString& reason);

private:
    // How far the reaction to the latest failed navigation has gone, so that a failing error page
    // cannot send the browser round in circles.
    enum class Stage { Page, ErrorPage, Fallback };

    void navigate(const QUrl& url);
    void handleLoading(const QWebEngineLoadingInfo& info);

    QPointer<QWebEngineView> m_view;
    std::string m_homepage;
    Stage m_stage = Stage::Page;
};

} // namespace updater
