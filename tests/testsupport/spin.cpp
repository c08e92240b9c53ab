#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

bool SpinUntil(const std::function<bool()> &pred, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!pred() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return pred();
}

void SpinFor(int ms)
{
    SpinUntil([] { return false; }, ms);
}
