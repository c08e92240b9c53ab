#include "store/guard.h"

#include "store/messages.h"
#include "store/settings.h"

#include <QtGlobal>
#include <exception>

namespace {

void show(const std::function<void()> &message) noexcept
{
    try {
        message();
    } catch (...) {
        // The box itself failed (no memory, say): there is nobody left to tell but the log.
        qWarning("An error could not be shown.");
    }
}

} // namespace

bool RunGuarded(const std::function<void()> &handler) noexcept
{
    try {
        handler();
        return true;
    } catch (const ERegistryError &e) {
        qWarning("%s", e.what());
        show([] { ShowSettingsNotSaved(); });
    } catch (const std::exception &e) {
        const QString text = QString::fromUtf8(e.what());
        show([&text] { ShowError(text); });
    } catch (...) {
        show([] { ShowError(QStringLiteral("Unexpected error.")); });
    }
    return false;
}
