#include "app/ui/SpinEdit.h"

#include <QLineEdit>
#include <QWheelEvent>

SpinEdit::SpinEdit(QWidget *parent)
    : QSpinBox(parent)
{
    lineEdit()->setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAccelerated(false);
}

void SpinEdit::wheelEvent(QWheelEvent *event)
{
    // One notch, one step, whatever modifier is held (the toolkit would step by 10 with Ctrl).
    const int notches = event->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        stepBy(notches);
    event->accept();
}

void SpinEdit::focusInEvent(QFocusEvent *event)
{
    QSpinBox::focusInEvent(event);
    selectAll();
}
