#pragma once

#include <QWidget>

// The viewer's only window: the result table under a tool strip with the Start/Stop button and
// the scan interval. It wires widgets to the logic in the core and keeps none of its own.
class TForm1 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;
};
