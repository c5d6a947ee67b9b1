#include "app/ui/SpinEdit.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

class TestSpinEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void downHeldStopsAtMinimum();
    void pageKeysStepByTen();
    void upStopsAtMaximum();
    void typingDoesNothing();
    void wheelStepsByOne();
    void setValueClamps();

private:
    std::unique_ptr<SpinEdit> m_spin;
};

void TestSpinEdit::init()
{
    m_spin = std::make_unique<SpinEdit>();
    m_spin->setRange(10, 1000);
    m_spin->setValue(20);
    m_spin->show();
    m_spin->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_spin.get()));
}

void TestSpinEdit::downHeldStopsAtMinimum()
{
    for (int i = 0; i < 15; ++i)
        QTest::keyClick(m_spin.get(), Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(m_spin->value(), 10);
    QTest::keyClick(m_spin.get(), Qt::Key_PageDown);
    QCOMPARE(m_spin->value(), 10);
}

void TestSpinEdit::pageKeysStepByTen()
{
    QTest::keyClick(m_spin.get(), Qt::Key_PageUp);
    QCOMPARE(m_spin->value(), 30);
    QTest::keyClick(m_spin.get(), Qt::Key_PageDown);
    QTest::keyClick(m_spin.get(), Qt::Key_PageDown);
    QCOMPARE(m_spin->value(), 10);
    m_spin->setValue(995);
    QTest::keyClick(m_spin.get(), Qt::Key_PageUp);
    QCOMPARE(m_spin->value(), 1000);
}

void TestSpinEdit::upStopsAtMaximum()
{
    m_spin->setValue(998);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(m_spin.get(), Qt::Key_Up);
    QCOMPARE(m_spin->value(), 1000);
}

void TestSpinEdit::typingDoesNothing()
{
    QTest::keyClicks(m_spin.get(), QStringLiteral("5"));
    QTest::keyClick(m_spin.get(), Qt::Key_Backspace);
    QTest::keyClicks(m_spin.get(), QStringLiteral("999"));
    QTest::keyClick(m_spin.get(), Qt::Key_Return);
    QCOMPARE(m_spin->value(), 20);
    QCOMPARE(m_spin->text(), QStringLiteral("20"));
}

void TestSpinEdit::wheelStepsByOne()
{
    const QPointF at(5, 5);
    auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(at, m_spin->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_spin.get(), &event);
    };
    wheel(120, Qt::NoModifier);
    QCOMPARE(m_spin->value(), 21);
    wheel(-240, Qt::NoModifier);
    QCOMPARE(m_spin->value(), 19);
    wheel(120, Qt::ControlModifier);
    QCOMPARE(m_spin->value(), 20);
}

void TestSpinEdit::setValueClamps()
{
    m_spin->setValue(5);
    QCOMPARE(m_spin->value(), 10);
    m_spin->setValue(5000);
    QCOMPARE(m_spin->value(), 1000);
}

QTEST_MAIN(TestSpinEdit)
#include "tst_spinedit.moc"
