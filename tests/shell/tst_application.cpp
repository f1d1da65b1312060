// The program's icon is compiled in at every size a desktop asks for, each drawn for its
// size; the car diagnostics screen carries it as its own window icon, while the replay
// screen keeps the application's.
#include "fakes.h"
#include "shell/application.h"
#include "shell/form1.h"
#include "shell/replayscreen.h"
#include "shell/windows.h"

#include <QApplication>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

class TestAppIcon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySizeIsCompiledIn()
    {
        const QList<QSize> sizes = appIcon().availableSizes();
        QCOMPARE(sizes.size(), 7);
        for (int n : {16, 24, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(n, n)), qPrintable(QString::number(n)));
    }

    void eachSizeIsItsOwnRendering_data()
    {
        QTest::addColumn<int>("size");
        for (int n : {16, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(n))) << n;
    }
    void eachSizeIsItsOwnRendering()
    {
        QFETCH(int, size);
        const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
        const QImage file = QImage(QStringLiteral(":/icons/vantrel-%1.png").arg(size))
                                .convertToFormat(premultiplied);
        QCOMPARE(file.size(), QSize(size, size));
        QCOMPARE(appIcon().pixmap(size).toImage().convertToFormat(premultiplied), file);
        // Not blank: the car's light top, above its doors, sits in the middle.
        QVERIFY(qGray(file.pixel(size / 2, size * 40 / 256)) > 200);
    }

    void carScreenHasTheIconReplayScreenNone()
    {
        FakeWorld w;
        Windows windows(w.services());
        Form1* car = windows.showForm1();
        QVERIFY(car->testAttribute(Qt::WA_SetWindowIcon));
        QCOMPARE(car->windowIcon().availableSizes(), appIcon().availableSizes());
        replay* rp = windows.showReplay();
        QVERIFY(!rp->testAttribute(Qt::WA_SetWindowIcon));
    }

    void desktopEntryNameIsReverseDns()
    {
        QVERIFY(desktopEntryName().count(QLatin1Char('.')) >= 2);
        QVERIFY(!desktopEntryName().endsWith(QLatin1String(".desktop")));
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_application.moc"
