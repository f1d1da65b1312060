// Every text a window shows fits the room its control gives it, at the scale the test
// runs at (QT_SCALE_FACTOR 1, 1.5 and 2 are three runs of this test): captions, labels,
// buttons, options, and the value boxes holding the widest value they show.
#include "carscreen/texts.h"
#include "core/portmap.h"
#include "fakes.h"
#include "screens.h"
#include "shell/application.h"
#include "terminal/configscrn.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>

using namespace vantrel;
using namespace vantrel::test;

namespace
{
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
    return static_cast<QLabel*>(w)->contentsRect().width();
}
} // namespace

class TestTextFit : public QObject, public WindowsFixture
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(); }
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
                const int needed = metrics.horizontalAdvance(text);
                const int room = roomFor(w);
                if (needed > room)
                    clipped << QStringLiteral("%1 %2 \"%3\": %4 px in %5")
                                   .arg(window->objectName(), w->objectName(), text)
                                   .arg(needed)
                                   .arg(room);
            }
        }
        QVERIFY(checked > 80);
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
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
