#include "widgets/NewsPage.h"

#include "platform/GamePath.h"

#include <QDir>
#include <QNetworkProxyFactory>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace updater {

namespace {

QUrl localPageUrl(const std::string& relativePath)
{
    const QString resolved = QString::fromStdString(resolveGamePath(relativePath));
    return QUrl::fromLocalFile(QDir::currentPath() + '/' + resolved);
}

bool isCompleteAddress(const QUrl& url)
{
    return url.isValid() && !url.isRelative() && !url.scheme().isEmpty();
}

// The configured home page. A bare host and path ("www.site.org/news") gets "http://", as the
// platform's browser gives it; any other text that is not a complete address is not completed
// (the browser would quietly show an empty page) but fails like a lost page.
QUrl homepageUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (isCompleteAddress(url) || text.isEmpty() || text.contains(QRegularExpression("\\s")))
        return url;
    const QUrl completed("http://" + text, QUrl::StrictMode);
    const QString host = completed.host();
    return completed.isValid() && (host.contains('.') || host == "localhost") ? completed : url;
}

} // namespace

const char* const NewsPage::FallbackHtml =
    "<html><body><p>The news page is not available at the moment.</p></body></html>";

NewsPage::NewsPage(QWebEngineView* view, std::string homepage, QObject* parent)
    : QObject(parent), m_view(view), m_homepage(std::move(homepage))
{
    // A player behind a company or school proxy names it in http_proxy, https_proxy and no_proxy:
    // the browser engine takes the toolkit's proxy settings, and these are the system's, which on
    // Linux are read from those variables. Set before the first page is fetched.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // Right clicks belong to the window's own context menu.
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this, &NewsPage::handleLoading);
}

QUrl NewsPage::startPageUrl()
{
    return localPageUrl(updaterFolderPath("www\\index.htm"));
}

QUrl NewsPage::errorPageUrl()
{
    return localPageUrl(updaterFolderPath("www\\error.htm"));
}

void NewsPage::navigate(const QUrl& url)
{
    m_stage = Stage::Page;
    m_view->load(url);
}

void NewsPage::showStartPage()
{
    navigate(startPageUrl());
}

void NewsPage::showHomepage()
{
    const QUrl url = homepageUrl(QString::fromLatin1(m_homepage));
    if (!isCompleteAddress(url)) {
        m_stage = Stage::Page;
        QMetaObject::invokeMethod(
            this,
            [this, url] {
                siteNotFound();
                emit navigationFailed(url, "not a complete address");
            },
            Qt::QueuedConnection);
        return;
    }
    navigate(url);
}

void NewsPage::reload()
{
    m_view->reload();
}

void NewsPage::siteNotFound()
{
    switch (m_stage) {
    case Stage::Page:
        m_stage = Stage::ErrorPage;
        m_view->load(errorPageUrl());
        break;
    case Stage::ErrorPage:
        m_stage = Stage::Fallback;
        m_view->setHtml(QString::fromLatin1(FallbackHtml));
        break;
    case Stage::Fallback:
        break; // nothing left to show
    }
}

void NewsPage::handleLoading(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        // A page the user opened from the news page is a navigation of its own.
        if (info.url() != errorPageUrl() && info.url().scheme() != "data")
            m_stage = Stage::Page;
        return;
    }
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return;
    siteNotFound();
    emit navigationFailed(info.url(), info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                                          ? "HTTP " + QString::number(info.errorCode())
                                          : info.errorString());
}

} // namespace updater
