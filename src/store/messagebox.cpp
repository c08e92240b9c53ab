#include "store/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace {

class BoxSink final : public MessageSink
{
public:
    MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                   const QString &caption) override
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        // No widgets to show a box with, or a call from a worker thread: say it in the log
        // and take the safe answer rather than crash or hang.
        if (!app || QThread::currentThread() != app->thread()) {
            qWarning("%s", qUtf8Printable(text));
            return EscapeAnswer(buttons);
        }

        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (kind) {
        case MsgKind::Plain:
            break;
        case MsgKind::Information:
            icon = QMessageBox::Information;
            break;
        case MsgKind::Warning:
            icon = QMessageBox::Warning;
            break;
        case MsgKind::Error:
            icon = QMessageBox::Critical;
            break;
        case MsgKind::Confirmation:
            icon = QMessageBox::Question;
            break;
        }
        QMessageBox::StandardButtons set = QMessageBox::Ok;
        QMessageBox::StandardButton escape = QMessageBox::Ok;
        switch (buttons) {
        case MsgButtons::Ok:
            break;
        case MsgButtons::OkCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MsgButtons::YesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MsgButtons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        }

        QWidget *owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        const QString title =
            caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption;
        QMessageBox box(icon, title, text, set, owner);
        box.setWindowModality(Qt::ApplicationModal);
        box.setEscapeButton(escape);
        switch (box.exec()) {
        case QMessageBox::Ok:
            return MsgButton::Ok;
        case QMessageBox::Cancel:
            return MsgButton::Cancel;
        case QMessageBox::Yes:
            return MsgButton::Yes;
        case QMessageBox::No:
            return MsgButton::No;
        default:
            return EscapeAnswer(buttons);
        }
    }
};

} // namespace

MessageSink &MessageBoxSink()
{
    static BoxSink sink;
    return sink;
}
