#include "net/HttpClient.h"

#include <QTest>

class TestDocumentName : public QObject
{
    Q_OBJECT

private slots:
    void takesTheLastSegment_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("document");
        QTest::newRow("plain") << "http://patch.example.org/updates/p1.rar"
                               << "p1.rar";
        QTest::newRow("port") << "http://patch.example.org:8080/p1.rar"
                              << "p1.rar";
        QTest::newRow("fragment cut") << "http://h/dir/p1.rar#part2"
                                      << "p1.rar";
        QTest::newRow("query kept") << "http://h/get.php?file=p1.rar"
                                    << "get.php?file=p1.rar";
        QTest::newRow("query and fragment") << "http://h/get.php?id=7#x"
                                            << "get.php?id=7";
        QTest::newRow("trailing slash") << "http://h/updates/"
                                        << "";
        QTest::newRow("nothing after host") << "http://h"
                                            << "";
        QTest::newRow("only a slash after host") << "http://h/"
                                                 << "";
        QTest::newRow("port, nothing after host") << "http://h:8080"
                                                  << "";
        QTest::newRow("backslashes") << "http://h\\updates\\p2.rar"
                                     << "p2.rar";
        QTest::newRow("no scheme, path") << "updates/p3.rar"
                                         << "p3.rar";
        QTest::newRow("no scheme, backslash path") << "C:\\patches\\p4.rar"
                                                   << "p4.rar";
        QTest::newRow("no scheme, no slash") << "p5.rar"
                                             << "p5.rar";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("case kept") << "HTTP://H/Patch_07.RAR"
                                   << "Patch_07.RAR";
        QTest::newRow("slash in query") << "http://h/get.php?f=a/b.rar"
                                        << "b.rar";
    }
    void takesTheLastSegment()
    {
        QFETCH(QString, url);
        QFETCH(QString, document);
        QCOMPARE(QString::fromStdString(updater::documentName(url.toStdString())), document);
    }
};

QTEST_GUILESS_MAIN(TestDocumentName)
#include "tst_documentname.moc"
