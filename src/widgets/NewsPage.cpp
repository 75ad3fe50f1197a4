#include "widgets/NewsPage.h"

#include "platform/GamePath.h"

#include <QDir>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace updater {

namespace {

QUrl localPageUrl(const std::string& relativePath)
{
    const QString resolved = QString::fromStdString(resolveGamePath(relativePath));
    return QUrl::fromLocalFile(QDir::currentPath() + '/' + resolved);
}

// The home page is given to the browser unchanged: a text that is not a complete address is
// not completed (the browser would quietly show an empty page) but fails like a lost page.
bool isCompleteAddress(const QUrl& url)
{
    return url.isValid() && !url.isRelative() && !url.scheme().isEmpty();
}

} // namespace

const char* const NewsPage::FallbackHtml =
    "<html><body><p>The news page is not available at the moment.</p></body></html>";

NewsPage::NewsPage(QWebEngineView* view, std::string homepage, QObject* parent)
    : QObject(parent), m_view(view), m_homepage(std::move(homepage))
{
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
    const QUrl url(QString::fromLatin1(m_homepage), QUrl::StrictMode);
    if (!isCompleteAddress(url)) {
        m_stage = Stage::Page;
        QMetaObject::invokeMethod(
            this,
            [this, url] {
                siteNotFound();
                emit navigationFailed(url);
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
    emit navigationFailed(info.url());
}

} // namespace updater
