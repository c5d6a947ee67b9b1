#include "app/NoticeDialog.h"

#include "platform/ExecutablePath.h"
#include "util/ErrorText.h"

#include <QMessageBox>

void ShowNotice(const QString &text)
{
    // Without a parent, a dialog centres itself on the screen.
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(ExecutablePath()), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
