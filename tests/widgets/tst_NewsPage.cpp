// The news browser against a loopback server: start page, home page, failures leading to the
// error page, a missing error page that must not loop, and reload.
#include "support/ScriptedHttpServer.h"
#include "support/TestMain.h"
#include "support/TestSupport.h"
#include "widgets/NewsPage.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

using namespace updater;
using test::ScriptedHttpServer;

namespace {

constexpr int LoadTimeoutMs = 30000;
constexpr int AnswerTimeoutMs = 5000;

ScriptedHttpServer::Reply htmlPage(const std::string& title)
{
    return ScriptedHttpServer::status(
        "200 OK", "<html><head><title>" + title + "</title></head><body>" + title + "</body></html>",
        "Content-Type: text/html\r\n");
}

QByteArray localPage(const QByteArray& title)
{
    return "<html><head><title>" + title + "</title></head><body>" + title + "</body></html>";
}

// The page's text as the browser has it now. The browser drops a request when the page changes
// meanwhile: the caller's QTRY asks again, and an answer that comes after all lands in state
// of its own, never in a returned-from stack frame.
QString plainText(QWebEngineView& view)
{
    const auto answer = std::make_shared<std::optional<QString>>();
    view.page()->toPlainText([answer](const QString& text) { *answer = text; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, AnswerTimeoutMs))
        return "<no answer>";
    return **answer;
}

int requestsFor(const ScriptedHttpServer& server, const std::string& target)
{
    int count = 0;
    for (const std::string& request : server.requests())
        count += request.rfind("GET " + target + " ", 0) == 0 ? 1 : 0;
    return count;
}

// A game folder with both local pages, spelt in another letter case than the program names them.
void writeLocalPages(const test::GameFolder& game, bool withErrorPage = true)
{
    game.write("tarvo-updater/WWW/Index.htm", localPage("Start"));
    if (withErrorPage)
        game.write("tarvo-updater/WWW/error.HTM", localPage("Error"));
}

// A game folder with the local pages and a news browser on `homepage`, started in that folder.
struct NewsBrowser
{
    explicit NewsBrowser(const std::string& homepage, bool withErrorPage = true) : news(&view, homepage)
    {
        writeLocalPages(game, withErrorPage);
    }

    test::GameFolder game;
    QWebEngineView view;
    NewsPage news;
};

} // namespace

class TestNewsPage : public QObject
{
    Q_OBJECT

    ScriptedHttpServer m_server;
    ScriptedHttpServer m_proxy;

private slots:
    void initTestCase()
    {
        // Read once by the browser engine; loopback addresses (m_server) never go through a proxy.
        qputenv("http_proxy", QByteArray::fromStdString(m_proxy.url("")));
        qputenv("no_proxy", "direct.example");
        m_proxy.setHandler([](const std::string&, const std::string&) { return htmlPage("Proxied"); });
        m_server.serve("/news", htmlPage("News"));
        m_server.serve("/gone", ScriptedHttpServer::status("404 Not Found", "<html><title>404</title></html>",
                                                           "Content-Type: text/html\r\n"));
        m_server.serve("/slow", {"", ScriptedHttpServer::Ending::Hang});
    }

    void startPage()
    {
        NewsBrowser browser(m_server.url("/news"));
        auto& [game, view, news] = browser;
        QCOMPARE(view.contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(NewsPage::startPageUrl(), QUrl::fromLocalFile(game.path() + "/tarvo-updater/WWW/Index.htm"));
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        news.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, LoadTimeoutMs);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(view.url(), NewsPage::startPageUrl());
        QCOMPARE(view.title(), QString("Start"));
    }

    void homepageAndReload_data()
    {
        QTest::addColumn<bool>("withScheme");
        QTest::addRow("full address") << true;
        // Like the platform's browser, a bare host and path is a web address.
        QTest::addRow("without a scheme") << false;
    }

    void homepageAndReload()
    {
        QFETCH(bool, withScheme);
        const std::string address = m_server.url("/news");
        NewsBrowser browser(withScheme ? address : address.substr(std::string("http://").size()));
        auto& [game, view, news] = browser;
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        QSignalSpy failed(&news, &NewsPage::navigationFailed);
        const int before = requestsFor(m_server, "/news");
        news.showHomepage();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, LoadTimeoutMs);
        QCOMPARE(view.url(), QUrl(QString::fromStdString(m_server.url("/news"))));
        QCOMPARE(view.title(), QString("News"));
        QCOMPARE(requestsFor(m_server, "/news"), before + 1);

        news.reload();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, LoadTimeoutMs);
        QCOMPARE(requestsFor(m_server, "/news"), before + 2);
        QCOMPARE(view.title(), QString("News"));
        QCOMPARE(failed.count(), 0);
    }

    // The home page goes through the proxy named in http_proxy, asked for by its whole address,
    // unless no_proxy names its host.
    void homepageThroughTheProxy()
    {
        for (const QString host : {"news.example", "direct.example"}) {
            NewsBrowser browser("http://" + host.toStdString() + "/news");
            browser.news.showHomepage();
            const bool proxied = host == "news.example";
            QTRY_COMPARE_WITH_TIMEOUT(browser.view.title(), proxied ? "Proxied" : "Error", LoadTimeoutMs);
            QCOMPARE(requestsFor(m_proxy, "http://" + host.toStdString() + "/news"), proxied ? 1 : 0);
        }
    }

    void failuresLeadToTheErrorPage_data()
    {
        QTest::addColumn<QString>("homepage");
        QTest::addColumn<QString>("reason"); // how it starts
        QTest::addRow("404 answer") << QString::fromStdString(m_server.url("/gone")) << "HTTP 404";
        QTest::addRow("nobody listening")
            << QString("http://127.0.0.1:%1/news").arg(ScriptedHttpServer::unusedPort()) << "";
        QTest::addRow("marker text") << "Bad Configured Updater (kick GM's ass!)"
                                     << "not a complete address";
        QTest::addRow("words without a scheme") << "see www.tarvo-gv.example"
                                                << "not a complete address";
    }

    void failuresLeadToTheErrorPage()
    {
        QFETCH(QString, homepage);
        QFETCH(QString, reason);
        NewsBrowser browser(homepage.toStdString());
        auto& [game, view, news] = browser;
        QSignalSpy failed(&news, &NewsPage::navigationFailed);
        news.showHomepage();
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Error"), LoadTimeoutMs);
        QCOMPARE(view.url(), NewsPage::errorPageUrl());
        QCOMPARE(failed.count(), 1);
        const QString told = failed.first().at(1).toString();
        QVERIFY2(!told.isEmpty() && told.startsWith(reason), qPrintable(told));
        QVERIFY(news.showsErrorPage());
        QVERIFY(view.url() != QUrl("about:blank"));
    }

    // A navigation started while another is in progress replaces it without counting as a failure.
    void navigationReplacesTheOneInProgress()
    {
        NewsBrowser browser(m_server.url("/slow"));
        auto& [game, view, news] = browser;
        QSignalSpy failed(&news, &NewsPage::navigationFailed);
        news.showHomepage();
        QTRY_VERIFY_WITH_TIMEOUT(requestsFor(m_server, "/slow") > 0, LoadTimeoutMs);
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        news.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Start"), LoadTimeoutMs);
        // The slow page does not come back over it: whatever it left comes before the end of a
        // later navigation.
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() && finished.last().first().toBool(), LoadTimeoutMs);
        const qsizetype ended = finished.size();
        news.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), ended + 1, LoadTimeoutMs);
        QCOMPARE(view.title(), QString("Start"));
        QCOMPARE(failed.count(), 0);
    }

    // Right clicks belong to the window's own menu: the page opens none of its own.
    void noContextMenuOfThePage_data()
    {
        QTest::addColumn<bool>("pagesOwnMenu");
        QTest::addRow("as the news page sets it") << false;
        QTest::addRow("control: the browser's default") << true;
    }

    void noContextMenuOfThePage()
    {
        QFETCH(bool, pagesOwnMenu);
        NewsBrowser browser(m_server.url("/news"));
        auto& [game, view, news] = browser;
        if (pagesOwnMenu)
            view.setContextMenuPolicy(Qt::DefaultContextMenu);
        view.resize(512, 359);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        news.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, LoadTimeoutMs);
        QWidget* surface = view.focusProxy() ? view.focusProxy() : &view;
        QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(100, 100));
        const bool menuOpened =
            QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000);
        QCOMPARE(menuOpened, pagesOwnMenu);
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    void missingStartPage()
    {
        test::GameFolder game;
        game.write("Tarvo-Updater/www/error.htm", localPage("Error"));
        QWebEngineView view;
        NewsPage news(&view, m_server.url("/news"));
        news.showStartPage();
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Error"), LoadTimeoutMs);
        QCOMPARE(view.url(), NewsPage::errorPageUrl());
    }

    void missingErrorPageDoesNotLoop()
    {
        NewsBrowser browser(m_server.url("/gone"), false);
        auto& [game, view, news] = browser;
        QSignalSpy started(&view, &QWebEngineView::loadStarted);
        QSignalSpy failed(&news, &NewsPage::navigationFailed);
        news.showHomepage();
        QTRY_VERIFY_WITH_TIMEOUT(news.showsFallbackText(), LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(plainText(view).contains("news page is not available"), LoadTimeoutMs);
        QCOMPARE(failed.count(), 2);

        // A later failed navigation gets its own try of the error page.
        game.write("tarvo-updater/WWW/error.HTM", localPage("Error"));
        news.showHomepage();
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Error"), LoadTimeoutMs);
        QVERIFY(news.showsErrorPage());
        // Home page, error page, built-in text, and nothing between that and the later home page
        // and error page.
        QCOMPARE(failed.count(), 3);
        QCOMPARE(started.count(), 5);
    }

    void reloadWhileTheErrorPageShows_data()
    {
        QTest::addColumn<bool>("vanished");
        // The reload shows the error page afresh (its new content proves it), not the home page.
        QTest::addRow("error page changed") << false;
        QTest::addRow("error page vanished") << true;
    }

    void reloadWhileTheErrorPageShows()
    {
        QFETCH(bool, vanished);
        NewsBrowser browser(m_server.url("/gone"));
        auto& [game, view, news] = browser;
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        news.showHomepage();
        // Shown and loaded: the browser ignores a reload while the page still loads.
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Error"), LoadTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() && finished.last().first().toBool(), LoadTimeoutMs);
        const int gone = requestsFor(m_server, "/gone");

        if (vanished)
            QVERIFY(QFile::remove(NewsPage::errorPageUrl().toLocalFile()));
        else
            game.write("tarvo-updater/WWW/error.HTM", localPage("Error again"));
        news.reload();
        if (vanished) {
            QTRY_VERIFY_WITH_TIMEOUT(news.showsFallbackText(), LoadTimeoutMs);
            QTRY_VERIFY_WITH_TIMEOUT(plainText(view).contains("news page is not available"), LoadTimeoutMs);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(view.title(), QString("Error again"), LoadTimeoutMs);
            QCOMPARE(view.url(), NewsPage::errorPageUrl());
        }
        QCOMPARE(requestsFor(m_server, "/gone"), gone);
    }
};

UPDATER_TEST_MAIN(TestNewsPage)
#include "tst_NewsPage.moc"
