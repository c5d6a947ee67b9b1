#include "app/core/Gradient.h"
#include "app/core/ToolkitColor.h"

#include <QColor>
#include <QTest>

class TestGradient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toolkitColor();
    void bandsCoverEveryRowOnce_data();
    void bandsCoverEveryRowOnce();
    void endsAreExact();
    void bandColours();
};

void TestGradient::toolkitColor()
{
    QCOMPARE(rgbFromToolkitColor(16119287), qRgb(247, 245, 245));
    QCOMPARE(rgbFromToolkitColor(14725296), qRgb(176, 176, 224));
    QCOMPARE(rgbFromToolkitColor(255), qRgb(255, 0, 0));
    QCOMPARE(rgbFromToolkitColor(32768), qRgb(0, 128, 0));
}

void TestGradient::bandsCoverEveryRowOnce_data()
{
    QTest::addColumn<int>("height");
    for (int h : {1, 49, 99, 100, 101, 150, 438, 1000, 1234})
        QTest::addRow("%d", h) << h;
}

void TestGradient::bandsCoverEveryRowOnce()
{
    QFETCH(int, height);
    const auto bands = gradientBands(height, 16119287, 14725296);
    QCOMPARE(bands.size(), std::size_t(100));
    QCOMPARE(bands.front().top, 0);
    QCOMPARE(bands.back().bottom, height);
    for (std::size_t i = 1; i < bands.size(); ++i)
        QCOMPARE(bands[i].top, bands[i - 1].bottom);
    for (const auto &band : bands)
        QVERIFY(band.bottom >= band.top);
}

void TestGradient::endsAreExact()
{
    const auto bands = gradientBands(438, 16119287, 14725296);
    QCOMPARE(bands.front().color, qRgb(247, 245, 245));
    QCOMPARE(bands.back().color, qRgb(176, 176, 224));
}

void TestGradient::bandColours()
{
    const auto bands = gradientBands(438, 16119287, 14725296);
    // Band 50: 247 - 71 * 50 / 99 = 211.14 -> 211; 245 - 69 * 50 / 99 = 210.15 -> 210;
    // 245 - 21 * 50 / 99 = 234.39 -> 234.
    QCOMPARE(bands[50].color, qRgb(211, 210, 234));
    // Band 1: 247 - 0.717 -> 246; 245 - 0.697 -> 244; 245 - 0.212 -> 245.
    QCOMPARE(bands[1].color, qRgb(246, 244, 245));
    // Borders at 438 rows: band 1 starts at 4.38 -> 4, band 2 at 8.76 -> 9, band 50 at 219.
    QCOMPARE(bands[1].top, 4);
    QCOMPARE(bands[2].top, 9);
    QCOMPARE(bands[50].top, 219);
    // Half a pixel rounds up: at 150 rows band 1 starts at 1.5 -> 2.
    QCOMPARE(gradientBands(150, 0, 0)[1].top, 2);
}

QTEST_GUILESS_MAIN(TestGradient)
#include "tst_gradient.moc"
