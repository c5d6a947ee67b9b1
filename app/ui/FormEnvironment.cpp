#include "app/ui/FormEnvironment.h"

#include "app/core/LaunchContext.h"
#include "app/ui/NoticeDialog.h"
#include "platform/Clock.h"
#include "platform/ExecutablePath.h"
#include "platform/PrivateDirectory.h"
#include "util/ReportText.h"

#include <QCoreApplication>

FormEnvironment FormEnvironment::ofProcess()
{
    FormEnvironment environment;
    environment.arguments = QCoreApplication::arguments();
    environment.appDir = GetAppDir();
    environment.privateDir = PrivateDirectory::forProcess(environment.appDir);
    environment.title = applicationTitle(executablePath());
    environment.tickCount = &GetTickCount;
    environment.notice = &showNotice;
    environment.errorPresenter = &ErrorReport::showMessageBox;
    return environment;
}
