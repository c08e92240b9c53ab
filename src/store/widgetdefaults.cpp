#include "store/widgetdefaults.h"

#include "store/beep.h"
#include "store/filedialogbox.h"
#include "store/messagebox.h"

#include <QApplication>

void InstallWidgetDefaults()
{
    SetDefaultMessageSink(&MessageBoxSink());
    SetRealFileDialogs(&QtFileDialogBox());
    SetBeepHook(&QApplication::beep);
}
