// The ping gauge: lengths of the levels, the shading bands and the frame, pixel by pixel. Whole
// pictures are compared with the golden files in tests/data/level-gauge/, each checked by eye and
// against the points worked out by hand below.
#include "widgets/LevelGauge.h"

#include "support/TestSupport.h"

#include <QTest>

using namespace updater;

namespace {

constexpr int Width = 182; // the window's gauge: 182 x 17
constexpr int Height = 17;

QImage renderAt(int position, int steps, QSize size = QSize(Width, Height))
{
    LevelGauge gauge;
    gauge.resize(size);
    gauge.setSteps(steps);
    gauge.setPosition(position);
    return gauge.render();
}

// Length of the coloured run along the middle line, from x = 1 up to the first white or black pixel.
int filledLength(const QImage& image)
{
    const int y = image.height() / 2;
    int x = 1;
    while (x < image.width() && image.pixelColor(x, y) != QColor(Qt::white) &&
           image.pixelColor(x, y) != QColor(Qt::black))
        ++x;
    return x - 1;
}

} // namespace

class TestLevelGauge : public QObject
{
    Q_OBJECT

private slots:
    // The default levels, colours, border and gradient are in every golden picture of everyPixel;
    // what no picture shows is checked here: the position before the first ping, and the third
    // level's pair, never drawn when the levels stack.
    void defaults()
    {
        LevelGauge gauge;
        QCOMPARE(gauge.position(), 100);
        QCOMPARE(gauge.settings().level2.color, QColor(255, 169, 83));
        QCOMPARE(gauge.settings().level2.colorTo, QColor(255, 211, 168));
        gauge.setSteps(20);
        QCOMPARE(gauge.steps(), 20);
        gauge.setPosition(150);
        QCOMPARE(gauge.position(), 150); // stored unclamped
        gauge.setPosition(-7);
        QCOMPARE(gauge.position(), -7);
    }

    void everyPixel_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("golden");
        for (int steps : {200, 20}) {
            for (int position : {0, 30, 50, 65, 80, 90, 100, 150, -3})
                QTest::addRow("P%d steps %d", position, steps)
                    << position << steps << QSize(Width, Height)
                    << QString("p%1-steps%2").arg(position).arg(steps);
            // The wide one-server gauge, and an odd usable length where halves need rounding.
            QTest::addRow("425 wide, P77 steps %d", steps)
                << 77 << steps << QSize(425, 17) << QString("wide-p77-steps%1").arg(steps);
            QTest::addRow("odd, P45 steps %d", steps)
                << 45 << steps << QSize(21, 10) << QString("odd-p45-steps%1").arg(steps);
            QTest::addRow("odd, P85 steps %d", steps)
                << 85 << steps << QSize(21, 10) << QString("odd-p85-steps%1").arg(steps);
        }
    }

    void everyPixel()
    {
        QFETCH(int, position);
        QFETCH(int, steps);
        QFETCH(QSize, size);
        QFETCH(QString, golden);
        const QImage image = renderAt(position, steps, size);
        QImage want;
        QVERIFY(want.loadFromData(test::goldenBytes("level-gauge/" + golden + ".png"), "PNG"));
        want = want.convertToFormat(image.format());
        QCOMPARE(image.size(), size);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (image.pixel(x, y) != want.pixel(x, y))
                    QFAIL(qPrintable(QString("pixel (%1, %2): got %3, want %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(image.pixelColor(x, y).name(), want.pixelColor(x, y).name())));
            }
        }
    }

    // The examples of the gauge's description, with values worked out by hand (R = 180, halves 7 and 8).
    void lengthsAlongTheMiddleLine()
    {
        QCOMPARE(filledLength(renderAt(0, 200)), 0);
        QCOMPARE(filledLength(renderAt(30, 200)), 54);
        QCOMPARE(filledLength(renderAt(65, 200)), 90 + 27);
        QCOMPARE(filledLength(renderAt(90, 200)), 90 + 54 + 18);
        QCOMPARE(filledLength(renderAt(100, 20)), 180);

        const QImage p65 = renderAt(65, 200);
        QCOMPARE(p65.pixelColor(90, 8).green(), 255);
        QVERIFY(p65.pixelColor(90, 8).red() < 20); // lime
        QCOMPARE(p65.pixelColor(91, 8).red(), 255);
        QVERIFY(p65.pixelColor(91, 8).blue() < 20); // yellow

        const QImage p90 = renderAt(90, 20);
        const QColor redMiddle = p90.pixelColor(150, 8);
        QCOMPARE(redMiddle.red(), 255);
        QVERIFY(redMiddle.green() < 20);
        // The orange pair of the third level is never drawn.
        for (int x = 1; x < 181; ++x)
            QVERIFY(p90.pixelColor(x, 8) != QColor(255, 169, 83));
    }

    void shadingWorkedByHand()
    {
        // Steps 20: upper half h = 0.35, rows 0 and 6 come from bands 1 and 18;
        // lower half h = 0.4, rows 0 and 7 from bands 1 and 18.
        const QImage s20 = renderAt(30, 20);
        QCOMPARE(s20.pixelColor(10, 1), QColor(214, 255, 214));
        QCOMPARE(s20.pixelColor(10, 7), QColor(23, 255, 23)); // 225 + near(-202.5) = 225 - 202
        QCOMPARE(s20.pixelColor(10, 8), QColor(11, 255, 11));
        QCOMPARE(s20.pixelColor(10, 15), QColor(202, 255, 202)); // near(202.5) = 202
        // Steps 200: bands 14 and 185 above, 12 and 187 below.
        const QImage s200 = renderAt(30, 200);
        QCOMPARE(s200.pixelColor(10, 1), QColor(209, 255, 209));
        QCOMPARE(s200.pixelColor(10, 7), QColor(17, 255, 17));
        QCOMPARE(s200.pixelColor(10, 8), QColor(14, 255, 14)); // near(13.5) = 14
        QCOMPARE(s200.pixelColor(10, 15), QColor(210, 255, 210));
        // The frame stays black at the top and bottom edges.
        QCOMPARE(s200.pixelColor(10, 0), QColor(Qt::black));
        QCOMPARE(s200.pixelColor(10, 16), QColor(Qt::black));
    }

    void fullAndBeyond()
    {
        const QImage full = renderAt(100, 200);
        QCOMPARE(full.pixelColor(180, 8).red(), 255); // red part reaches the frame
        QCOMPARE(full.pixelColor(181, 8), QColor(Qt::black));
        const QImage over = renderAt(150, 200);
        QCOMPARE(over.pixelColor(180, 8), full.pixelColor(180, 8));
        // Past 100 the red part runs over the right frame until the picture ends.
        QCOMPARE(over.pixelColor(181, 8).red(), 255);
        QVERIFY(over.pixelColor(181, 8) != QColor(Qt::black));
        QCOMPARE(over.pixelColor(181, 0), QColor(Qt::black));
    }

    void screenShowsThePicture()
    {
        LevelGauge gauge;
        gauge.resize(Width, Height);
        gauge.setSteps(20);
        gauge.setPosition(90);
        QCOMPARE(gauge.grab().toImage().convertToFormat(QImage::Format_RGB32), gauge.render());
    }

    void roundingHelper()
    {
        QCOMPARE(nearestHalfEven(1, 2), 0LL);
        QCOMPARE(nearestHalfEven(3, 2), 2LL);
        QCOMPARE(nearestHalfEven(5, 2), 2LL);
        QCOMPARE(nearestHalfEven(-1, 2), 0LL);
        QCOMPARE(nearestHalfEven(-3, 2), -2LL);
        QCOMPARE(nearestHalfEven(-405, 2), -202LL);
        QCOMPARE(nearestHalfEven(7, 3), 2LL);
        QCOMPARE(nearestHalfEven(-7, 3), -2LL);
    }
};

QTEST_MAIN(TestLevelGauge)
#include "tst_LevelGauge.moc"
