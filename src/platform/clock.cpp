#include "clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace vantrel
{

void QtClock::doEvents()
{
    // Wait up to 20 ms for something to happen, so a drain wait does not spin.
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    loop.exec();
}

} // namespace vantrel
