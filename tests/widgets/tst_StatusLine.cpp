// The status line: markup runs, date and time panels, links under the mouse.
#include "widgets/DateTimeFormat.h"
#include "widgets/HtmlStatusBar.h"
#include "widgets/StatusMarkup.h"

#include <QSignalSpy>
#include <QTest>

using namespace updater;

namespace {

MarkupRun run(const QString& text, bool bold = false, bool link = false, const QString& address = {})
{
    MarkupRun r;
    r.text = text;
    r.bold = bold;
    r.link = link;
    r.address = address;
    return r;
}

QString describe(const QList<MarkupRun>& runs)
{
    QStringList parts;
    for (const MarkupRun& r : runs)
        parts << QString("[%1|%2|%3|%4]").arg(r.text).arg(r.bold).arg(r.link).arg(r.address);
    return parts.join(' ');
}

// The first point along the middle line of the bar that lies on a link.
std::optional<QPoint> findLink(const HtmlStatusBar& bar)
{
    for (int x = 0; x < bar.width(); ++x) {
        const QPoint p(x, bar.height() / 2);
        if (bar.anchorAt(p))
            return p;
    }
    return std::nullopt;
}

} // namespace

class TestStatusLine : public QObject
{
    Q_OBJECT

private slots:
    void markupRuns_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QList<MarkupRun>>("expected");
        QTest::addRow("status line text")
            << "<b> Visit frequently: </b> <A href=\"http://news.example/\">www.tarvo-gv.example </A"
            << QList<MarkupRun>{run(" Visit frequently: ", true), run(" "),
                                run("www.tarvo-gv.example ", false, true, "http://news.example/")};
        QTest::addRow("closed link") << "a <a HREF=\"x\">b</a> c"
                                     << QList<MarkupRun>{run("a "), run("b", false, true, "x"), run(" c")};
        QTest::addRow("letter case") << "<B>x</b>y<A href=\"m\">z</A>"
                                     << QList<MarkupRun>{run("x", true), run("y"),
                                                         run("z", false, true, "m")};
        QTest::addRow("unclosed tag hides the rest, bold stays")
            << "<b>bold <i unfinished text" << QList<MarkupRun>{run("bold ", true)};
        QTest::addRow("unclosed tag right at the start") << "<b text" << QList<MarkupRun>{};
        QTest::addRow("entities") << "&lt;b&gt; &amp; <b>&LT;</b>"
                                  << QList<MarkupRun>{run("<b> &amp; "), run("<", true)};
        QTest::addRow("unknown tags dropped") << "a<i>b</i><br>c" << QList<MarkupRun>{run("abc")};
        QTest::addRow("address in the first quotes after href")
            << "<a title=\"t\" href = \"mailto:gm@x\" id=\"q\">m</a>"
            << QList<MarkupRun>{run("m", false, true, "mailto:gm@x")};
        QTest::addRow("link and bold together")
            << "<b><a href=\"u\">x</a>y</b>" << QList<MarkupRun>{run("x", true, true, "u"), run("y", true)};
        QTest::addRow("plain") << "Checking..." << QList<MarkupRun>{run("Checking...")};
    }

    void markupRuns()
    {
        QFETCH(QString, markup);
        QFETCH(QList<MarkupRun>, expected);
        const QList<MarkupRun> runs = parseStatusMarkup(markup);
        QCOMPARE(describe(runs), describe(expected));
    }

    void dateAndTimeFormats()
    {
        const QDateTime moment(QDate(2004, 10, 20), QTime(7, 5, 9));
        QCOMPARE(formatStatusDateTime("mm/dd/yyyy", moment, '.', ':'), QString("10.20.2004"));
        QCOMPARE(formatStatusDateTime("mm/dd/yyyy", moment, '/', ':'), QString("10/20/2004"));
        QCOMPARE(formatStatusDateTime("hh:mm:ss", moment, '/', '.'), QString("07.05.09"));
        QCOMPARE(formatStatusDateTime("hh:mm:ss", QDateTime(QDate(2004, 1, 2), QTime(23, 59, 58)), '/', ':'),
                 QString("23:59:58"));
    }

    void separatorsFromTheLocale()
    {
        QCOMPARE(dateSeparatorOf(QLocale(QLocale::German, QLocale::Germany)), QChar('.'));
        QCOMPARE(dateSeparatorOf(QLocale(QLocale::English, QLocale::UnitedStates)), QChar('/'));
        QCOMPARE(dateSeparatorOf(QLocale(QLocale::Dutch, QLocale::Netherlands)), QChar('-'));
        QCOMPARE(timeSeparatorOf(QLocale(QLocale::German, QLocale::Germany)), QChar(':'));
        QCOMPARE(timeSeparatorOf(QLocale(QLocale::Finnish, QLocale::Finland)), QChar('.'));
    }

    void panels()
    {
        HtmlStatusBar bar;
        QCOMPARE(bar.panelCount(), 3);
        QCOMPARE(bar.panelText(0), QString("Checking..."));
        QCOMPARE(bar.panel(0).width, 320);
        QCOMPARE(bar.panel(1).width, 90);
        QCOMPARE(bar.panel(2).width, 90);
        QCOMPARE(bar.panel(1).format, QString("mm/dd/yyyy"));
        QCOMPARE(bar.panel(2).format, QString("hh:mm:ss"));
        QCOMPARE(bar.urlColor(), QColor(Qt::blue));
        QVERIFY(bar.isRefreshing());
        QCOMPARE(HtmlStatusBar::RefreshIntervalMs, 100);
        // The date and time are there at once, not only after the first tick.
        QCOMPARE(bar.panelText(1).size(), 10);
        QCOMPARE(bar.panelText(2).size(), 8);
    }

    void datePanelWithTheUsersSeparator()
    {
        HtmlStatusBar bar;
        bar.setClock([] { return QDateTime(QDate(2004, 10, 20), QTime(16, 4, 33)); });
        bar.setSeparators('.', ':');
        QCOMPARE(bar.panelText(1), QString("10.20.2004"));
        QCOMPARE(bar.panelText(2), QString("16:04:33"));
        QDateTime later(QDate(2004, 10, 21), QTime(0, 0, 1));
        bar.setClock([&] { return later; });
        bar.refreshDateTime();
        QCOMPARE(bar.panelText(1), QString("10.21.2004"));
        QCOMPARE(bar.panelText(2), QString("00:00:01"));
        // The running timer brings the panel up to date without being asked.
        later = QDateTime(QDate(2005, 3, 4), QTime(5, 6, 7));
        QTRY_COMPARE(bar.panelText(2), QString("05:06:07"));
    }

    void linkOpensWithEveryButton()
    {
        HtmlStatusBar bar;
        bar.resize(512, 20);
        QList<QUrl> opened;
        bar.setUrlOpener([&](const QUrl& url) { opened << url; });
        QSignalSpy clicked(&bar, &HtmlStatusBar::anchorClicked);
        bar.setPanelText(0, "<b> Visit frequently: </b> <A href=\"http://news.example/a\">www.x.example </A");
        const std::optional<QPoint> link = findLink(bar);
        QVERIFY(link);
        QVERIFY(link->x() > 40); // the bold label comes first
        QCOMPARE(*bar.anchorAt(*link), QString("http://news.example/a"));
        QVERIFY(!bar.anchorAt(QPoint(5, 10)));
        QVERIFY(!bar.anchorAt(QPoint(400, 10))); // date panel

        QTest::mouseClick(&bar, Qt::RightButton, {}, *link);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, *link);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(5, 10));
        QCOMPARE(opened, (QList<QUrl>{QUrl("http://news.example/a"), QUrl("http://news.example/a")}));
        QCOMPARE(clicked.count(), 0);

        bar.setPanelText(0, "<a href=\"mailto:gm@tarvo.example\">mail</a>");
        QTest::mouseClick(&bar, Qt::MiddleButton, {}, *findLink(bar));
        QCOMPARE(opened.last(), QUrl("mailto:gm@tarvo.example"));

        bar.setPanelText(0, "<a href=\"news-local\">local</a>");
        QTest::mouseClick(&bar, Qt::LeftButton, {}, *findLink(bar));
        QCOMPARE(opened.size(), 3);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().first().toString(), QString("news-local"));
    }

    void handCursorOverLinks()
    {
        HtmlStatusBar bar;
        bar.resize(512, 20);
        bar.setPanelText(0, "label <a href=\"http://x.example/\">link</a>");
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy enter(&bar, &HtmlStatusBar::anchorEnter);
        QSignalSpy exit(&bar, &HtmlStatusBar::anchorExit);
        const QPoint link = *findLink(bar);
        QTest::mouseMove(&bar, link);
        QTRY_COMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(enter.count(), 1);
        QTest::mouseMove(&bar, QPoint(3, 10));
        QTRY_COMPARE(bar.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(exit.count(), 1);
    }

    void linkIsDrawnBlueAndUnderlined()
    {
        HtmlStatusBar bar;
        bar.resize(512, 20);
        bar.setPanelText(0, "<b> Visit frequently: </b> <A href=\"http://x.example/\">www.x.example </A");
        const QImage image = bar.grab().toImage();
        const QPoint link = *findLink(bar);
        int bluePixels = 0;
        int bluePixelsLeftOfLink = 0;
        int longestBlueRow = 0;
        for (int y = 0; y < image.height(); ++y) {
            int row = 0;
            for (int x = 0; x < 320; ++x) {
                if (image.pixelColor(x, y) != QColor(Qt::blue))
                    continue;
                ++row;
                ++bluePixels;
                if (x < link.x())
                    ++bluePixelsLeftOfLink;
            }
            longestBlueRow = std::max(longestBlueRow, row);
        }
        QVERIFY(bluePixels > 0);
        QCOMPARE(bluePixelsLeftOfLink, 0);
        QVERIFY2(longestBlueRow > 40, "the underline is one long blue row"); // beyond any glyph row
    }
};

QTEST_MAIN(TestStatusLine)
#include "tst_StatusLine.moc"
