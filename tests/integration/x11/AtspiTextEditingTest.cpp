// The direct edit over AT-SPI against a Qt application at work, on an X11 desktop (AT-SPI is the
// same there as on Wayland, where the replacements edit in place).
#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/X11Workspace.h"
#include "support/EventLoop.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

// An edit makes several requests, and an application at work answers each one only between its
// turns: however slowly it answers, the edit holds Tidyword's event loop no longer than its one
// deadline and the taking in of the last reply.
TEST(AtspiTextEditingTest, NoEditHoldsTheEventLoopPastItsDeadline) {
    using namespace std::chrono_literals;
    using Attribute = Accessibility::Attribute;
    constexpr auto kRoomForTheLastReply = 250ms;
    auto accessibility = AtspiAccessibility::open();
    auto workspace = X11Workspace::open();
    ASSERT_TRUE(accessibility && workspace);
    test::DesktopApplications applications(*workspace);
    const qint32 source = applications.startInFront(
        QStringLiteral(TIDYWORD_PLAIN_FIELD),
        {u"--open"_s, u"--busy-when-signalled"_s, u"250"_s, u"the field"_s});
    const auto application = accessibility->applicationElement(source);
    std::optional<AccessibleElement> field;
    test::pollUntil(
        [&] {
            field = accessibility->elementAttribute(application, Attribute::focusedElement);
            return field &&
                   accessibility->stringAttribute(*field, Attribute::value) == u"the field"_s;
        },
        20ms, test::kDesktopPatience);
    // From now on, each turn of its main loop takes half the deadline.
    ASSERT_EQ(::kill(source, SIGUSR1), 0);
    // The test reads with all the patience the edit does not have.
    accessibility->setMessagingTimeout(application, 10s);
    test::pollUntil(
        [&] {
            return accessibility->stringAttribute(*field, Attribute::title)
                .value_or(QString())
                .endsWith(u"(busy)"_s);
        },
        20ms, test::kDesktopPatience);

    AtspiTextEditing editing;
    QElapsedTimer held;
    held.start();
    const bool edited = editing.replaceText(*field, {4, 5}, u"words"_s);
    const auto heldFor = std::chrono::milliseconds(held.elapsed());
    EXPECT_LT(heldFor, AtspiTextEditing::deadline + kRoomForTheLastReply);
    // Cut short, it refuses; whichever it says, the field agrees.
    EXPECT_EQ(accessibility->stringAttribute(*field, Attribute::value),
              edited ? u"the words"_s : u"the field"_s);
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
