#include "web/StatusLineText.h"

#include <QtTest>

class StatusLineTextTest : public QObject
{
    Q_OBJECT

private slots:
    // The link follows the configured home page, whatever it holds, while the shown address stays fixed.
    void linkToTheHomepage_data()
    {
        QTest::addColumn<QString>("homepage");
        QTest::addColumn<QString>("markup");
        QTest::addRow("address")
            << "http://news.example/"
            << "<b> Visit frequently: </b> <A href=\"http://news.example/\">www.tarvo-gv.example </A";
        QTest::addRow("marker text") << "Bad Configured Updater (kick GM's ass!)"
                                     << "<b> Visit frequently: </b> <A href=\"Bad Configured Updater (kick "
                                        "GM's ass!)\">www.tarvo-gv.example </A";
    }

    void linkToTheHomepage()
    {
        QFETCH(QString, homepage);
        QFETCH(QString, markup);
        QCOMPARE(QString::fromStdString(updater::statusLineText(homepage.toStdString())), markup);
    }
};

QTEST_APPLESS_MAIN(StatusLineTextTest)
#include "tst_statuslinetext.moc"
