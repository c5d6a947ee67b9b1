#include "app/UnitOrvandel.h"

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral(" Безопасный просмотр результатов тестирования "));
    resize(653, 438);
}

TForm1::~TForm1() = default;
