#pragma once

#include <QSpinBox>

// A spin box whose value changes only by steps: 1 by its buttons, the arrow keys and the wheel,
// 10 by Page Up and Page Down, stopping at its bounds. Nothing can be typed into it.
class SpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit SpinEdit(QWidget *parent = nullptr);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
};
