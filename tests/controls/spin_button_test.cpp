#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/spin_button.h"

namespace v36 {
namespace {

TEST(SpinButton, StepsAtOnceRepeatsWhileHeldAndKeepsAPositionOutsideItsRange) {
    CSpinButton spin;
    spin.resize(17, 24);
    spin.show();
    QSignalSpy steps(&spin, &CSpinButton::deltaPos);

    QTest::mousePress(&spin, Qt::LeftButton, {}, QPoint(8, 4));  // upper half
    ASSERT_EQ(steps.count(), 1);
    EXPECT_EQ(steps[0][0].toInt(), 1);
    // Held: the repeat starts after its delay.
    QTest::qWait(CSpinButton::kRepeatDelayMs + 4 * CSpinButton::kRepeatIntervalMs);
    EXPECT_GE(steps.count(), 3);
    QTest::mouseRelease(&spin, Qt::LeftButton, {}, QPoint(8, 4));
    const int held = static_cast<int>(steps.count());
    QTest::qWait(3 * CSpinButton::kRepeatIntervalMs);
    EXPECT_EQ(steps.count(), held);

    QTest::mouseClick(&spin, Qt::LeftButton, {}, QPoint(8, 20));  // lower half
    EXPECT_EQ(steps.last()[0].toInt(), -1);

    // A range that shrank under the position: the position stays until the
    // host steps it, and a step in either direction lands inside.
    spin.setRange(10, -10);
    spin.setPosition(15);
    EXPECT_EQ(spin.minimum(), -10);
    EXPECT_EQ(spin.position(), 15);
    EXPECT_EQ(spin.stepped(1), 10);
    EXPECT_EQ(spin.stepped(-1), 10);
    spin.setPosition(-10);
    EXPECT_EQ(spin.stepped(-1), -10);
    EXPECT_EQ(spin.stepped(1), -9);
    test::saveArtefact(test::renderControl(spin, 3.0), QStringLiteral("spin_x3"));
}

}  // namespace
}  // namespace v36
