// When a view renders the model's changes: at once while hidden (or on its next show), and once
// per event-loop turn while visible, however many changes the turn brings.
#include "ui/RenderSchedule.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace tidyword::ui {
namespace {

TEST(RenderScheduleTest, RendersAsOftenAsSomeoneCanSee) {
    using Step = std::function<void(QWidget&, RenderSchedule&)>;
    const Step change = [](QWidget&, RenderSchedule& schedule) { schedule.changed(); };
    const Step turnEnds = [](QWidget&, RenderSchedule&) { QCoreApplication::processEvents(); };
    const Step show = [](QWidget& view, RenderSchedule&) { view.show(); };
    const Step hide = [](QWidget& view, RenderSchedule&) { view.hide(); };
    const struct {
        const char* name;
        bool rendersWhileHidden;
        QList<Step> steps;
        int renders;
    } cases[] = {
        {"hidden, rendering at once", true, {change, change}, 2},
        {"hidden, rendering on show", false, {change, change, turnEnds}, 0},
        {"shown after changes", false, {change, change, show}, 1},
        {"shown again with nothing new", false, {change, show, hide, show, turnEnds}, 1},
        {"one change while visible", false, {show, change}, 0},
        {"one change, turn ended", false, {show, change, turnEnds}, 1},
        {"a turn of many changes", false, {show, change, change, change, turnEnds}, 1},
        {"two turns", false, {show, change, turnEnds, change, turnEnds}, 2},
        {"a render of its own within the turn",
         false,
         {show, change, [](QWidget&, RenderSchedule& schedule) { schedule.rendered(); }, turnEnds},
         0},
    };
    for (const auto& test : cases) {
        QWidget view;
        int renders = 0;
        RenderSchedule* schedule = nullptr;
        schedule = new RenderSchedule(view, [&] {
            schedule->rendered();
            ++renders;
        });
        schedule->setRendersWhileHidden(test.rendersWhileHidden);
        for (const Step& step : test.steps) {
            step(view, *schedule);
        }
        EXPECT_EQ(renders, test.renders) << test.name;
    }
}

}  // namespace
}  // namespace tidyword::ui
