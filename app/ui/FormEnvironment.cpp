#include "app/ui/FormEnvironment.h"

#include "app/core/LaunchContext.h"
#include "app/ui/NoticeDialog.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "util/ReportText.h"

#include <QCoreApplication>

FormEnvironment FormEnvironment::OfProcess()
{
    FormEnvironment environment;
    environment.arguments = QCoreApplication::arguments();
    environment.appDir = GetAppDir();
    environment.title = ApplicationTitle(ExecutablePath());
    environment.tickCount = &GetTickCount;
    environment.notice = &ShowNotice;
    environment.errorPresenter = &ErrorReport::ShowMessageBox;
    return environment;
}
