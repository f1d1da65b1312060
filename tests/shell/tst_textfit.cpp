// Every text a window shows fits the room its control gives it, at the scale the test
// runs at (QT_SCALE_FACTOR 1, 1.5 and 2 are three runs of this test): captions, labels,
// buttons, options, the value boxes holding the widest value they show, and the labels
// along the timeline's axis.
#include "carscreen/texts.h"
#include "core/capturetimes.h"
#include "core/logindex.h"
#include "core/portmap.h"
#include "fakes.h"
#include "replay/timelinewindow.h"
#include "screens.h"
#include "shell/application.h"
#include "terminal/configscrn.h"
#include "testfiles.h"
#include "testlogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTime>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
// Two labels along an axis read apart with at least this between them.
constexpr int kLabelGapPx = 8;

// What is drawn of a caption: an ampersand marks an access key, "&&" is one ampersand.
QString shownText(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// Room a control gives its text, in the control's own pixels.
int roomFor(QWidget* w)
{
    QStyle* style = w->style();
    if (auto* radio = qobject_cast<QRadioButton*>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(radio);
        opt.text = radio->text();
        return style->subElementRect(QStyle::SE_RadioButtonContents, &opt, radio).width();
    }
    if (auto* check = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(check);
        opt.text = check->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &opt, check).width();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = button->text();
        return style->subElementRect(QStyle::SE_PushButtonContents, &opt, button).width();
    }
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
        const QMargins m = box->textMargins();
        return box->width() - 2 * frame - 4 - m.left() - m.right(); // 2 px each side inside
    }
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->contentsRect().width();
    qFatal("no rule for the room a %s gives its text", w->metaObject()->className());
}
} // namespace

class TestTextFit : public QObject, public WindowsFixture
{
    Q_OBJECT

    QTemporaryDir dir;

    // A timeline over a generated log, shown, in the windows' font.
    std::unique_ptr<TimelineWindow> timeline(const QString& path)
    {
        const auto index = buildLogIndex(path);
        if (!index) {
            QTest::qFail(qPrintable(index.why()), __FILE__, __LINE__);
            return nullptr;
        }
        auto w = std::make_unique<TimelineWindow>(*index);
        w->setFont(windowFont());
        w->show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().remove(QLatin1String(TimelineWindow::kSignalsKey));
        setUpApplication();
    }
    void init() { openWindows(); }
    void cleanup() { closeWindows(); }

    void theWindowFontIsInstalled()
    {
        // Another font in its place has other widths; the package depends on this one.
        QCOMPARE(QFontInfo(windowFont()).family(), QStringLiteral("Liberation Sans"));
    }

    void everyTextFitsItsControl()
    {
        // Every window, each with the widest values its boxes show.
        Form1* car = showEveryWindow();
        replay* r = windows->showReplay();
        car->txtbbt->setText(QStringLiteral("00000"));
        car->Text2->setText(QStringLiteral("32767"));
        car->Text4->setText(QStringLiteral("12"));
        for (QLineEdit* speed : {car->txtvel, r->txtvel})
            speed->setText(QStringLiteral("100"));
        for (QLineEdit* where : {car->txtpos, r->txtpos})
            where->setText(QStringLiteral("B"));
        ConfigScrn* settings = car->configScrn();
        settings->Text1->setText(QStringLiteral("115200,n,8,1.5"));
        settings->Text2->setText(QStringLiteral("255"));
        // The timeline with its cursor reading out the default signals.
        const auto line = timeline(writeLog(dir.path(), 3, 2000, true));
        QVERIFY(line);
        line->setCursorLine(line->index().lines() / 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

        QStringList clipped;
        int checked = 0;
        for (QWidget* window : shownWindows()) {
            for (QWidget* w : window->findChildren<QWidget*>()) {
                QString text;
                if (auto* label = qobject_cast<QLabel*>(w))
                    text = label->text();
                else if (auto* button = qobject_cast<QAbstractButton*>(w))
                    text = button->text();
                else if (auto* box = qobject_cast<QLineEdit*>(w))
                    text = box->echoMode() == QLineEdit::Normal ? box->text() : QString();
                text = shownText(text);
                if (text.trimmed().isEmpty() || !w->isVisibleTo(window))
                    continue;
                ++checked;
                const QFontMetrics metrics(w->font());
                auto* label = qobject_cast<QLabel*>(w);
                if (label && label->wordWrap()) {
                    // A label that wraps its words needs the height of its lines.
                    const QRect room = label->contentsRect();
                    const int needed = metrics.boundingRect(room, Qt::TextWordWrap, text).height();
                    if (needed > room.height())
                        clipped << QStringLiteral("%1 %2 \"%3\": %4 px high in %5")
                                       .arg(window->objectName(), w->objectName(), text)
                                       .arg(needed)
                                       .arg(room.height());
                    continue;
                }
                const int needed = metrics.horizontalAdvance(text);
                const int room = roomFor(w);
                if (needed > room)
                    clipped << QStringLiteral("%1 %2 \"%3\": %4 px in %5")
                                   .arg(window->objectName(), w->objectName(), text)
                                   .arg(needed)
                                   .arg(room);
            }
        }
        QVERIFY(checked > 100);
        QVERIFY2(
            clipped.isEmpty(),
            qPrintable(QStringLiteral("scale %1: ").arg(qEnvironmentVariable("QT_SCALE_FACTOR")) +
                       clipped.join(QStringLiteral("; "))));
    }

    // A device message names the port by number and a short name, whatever the
    // adapter's stable name: common adapters' longest, on a link that leads nowhere.
    void portMessagesFitTheStatusLine_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("FTDI") << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
        QTest::newRow("Prolific")
            << "/dev/serial/by-id/"
               "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0";
        QTest::newRow("CH340") << "/dev/serial/by-id/usb-1a86_USB2.0-Serial-if00-port0";
        QTest::newRow("CP210x") << "/dev/serial/by-id/"
                                   "usb-Silicon_Labs_CP2102N_USB_to_UART_Bridge_Controller_"
                                   "0001a2b3c4d5e6f7a8b9c0d1e2f3a4b5-if00-port0";
    }
    void portMessagesFitTheStatusLine()
    {
        QFETCH(QString, device);
        Form1* car = showEveryWindow();
        const QString name = PortMap::shortName(device);
        for (const QString& text :
             {portLostText(PortMap::kMaxPort, name), portBackText(PortMap::kMaxPort, name)}) {
            car->Label1->setText(text);
            const int needed = QFontMetrics(car->Label1->font()).horizontalAdvance(text);
            QVERIFY2(needed <= roomFor(car->Label1),
                     qPrintable(QStringLiteral("\"%1\": %2 px in %3")
                                    .arg(text)
                                    .arg(needed)
                                    .arg(roomFor(car->Label1))));
        }
    }

    // The axis's labels, each drawn right of its tick, leave a gap before the next label
    // and end within the lanes, whatever the view.
    void timelineAxisLabelsLeaveRoomBetweenThem_data()
    {
        QTest::addColumn<QString>("times"); // "days", "one day" or "none" (lines)
        QTest::addColumn<double>("span");   // in the axis's units; 0 for the whole log
        QTest::newRow("times over days, the whole log") << "days" << 0.0;
        QTest::newRow("times over days, six hours") << "days" << 6 * 3600e3;
        QTest::newRow("times over days, ten seconds") << "days" << 10e3;
        QTest::newRow("times of one day, the whole log") << "one day" << 0.0;
        QTest::newRow("times of one day, an hour") << "one day" << 3600e3;
        QTest::newRow("times of one day, a minute") << "one day" << 60e3;
        QTest::newRow("times of one day, ten seconds") << "one day" << 10e3;
        QTest::newRow("times of one day, a second") << "one day" << 1e3;
        QTest::newRow("lines, the whole log") << "none" << 0.0;
        QTest::newRow("lines, a hundred") << "none" << 100.0;
        QTest::newRow("lines, twenty") << "none" << 20.0;
    }
    void timelineAxisLabelsLeaveRoomBetweenThem()
    {
        QFETCH(QString, times);
        QFETCH(double, span);
        const QString path = writeLog(dir.path(), 4, 3000, times == u"days");
        if (times == u"one day") {
            // A record every 200 bytes, a second apart, from a morning on.
            const qint64 bytes = readFile(path).size();
            QList<TimeRecord> records;
            const qint64 morning = QDateTime(QDate(2026, 5, 4), QTime(6, 0)).toMSecsSinceEpoch();
            for (qint64 at = 0; at < bytes; at += 200)
                records.append({at, morning + at / 200 * 1000});
            writeFile(capturetimes::pathFor(path), timesFile(records, bytes));
        }
        const auto w = timeline(path);
        QVERIFY(w);
        const TimelineSummary& s = w->summary();
        QCOMPARE(s.unit() == TimelineSummary::Unit::Milliseconds, times != u"none");
        const double whole = double(s.end() - s.start());
        if (span > 0)
            w->setView(s.start() + (whole - span) / 2, span);
        const QFontMetrics metrics(w->findChild<QWidget*>(QStringLiteral("AxisLane"))->font());
        const QList<AxisTick> ticks = w->ticks();
        QVERIFY2(ticks.size() >= 3, qPrintable(QString::number(ticks.size())));
        QStringList crowded;
        for (int i = 0; i < ticks.size(); ++i) {
            const double end = ticks[i].x + kTickPadPx + metrics.horizontalAdvance(ticks[i].label);
            const double room =
                i + 1 < ticks.size() ? ticks[i + 1].x + kTickPadPx - kLabelGapPx : w->laneWidth();
            if (end > room)
                crowded << QStringLiteral("\"%1\" ends at %2, room to %3")
                               .arg(ticks[i].label)
                               .arg(end)
                               .arg(room);
        }
        QVERIFY2(
            crowded.isEmpty(),
            qPrintable(QStringLiteral("scale %1: ").arg(qEnvironmentVariable("QT_SCALE_FACTOR")) +
                       crowded.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
