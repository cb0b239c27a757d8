// What every window test needs: the framework started once per test program on
// the offscreen platform, and automation on for each test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "platform/ui/ui.h"
#include "platform/ui/ui_automation.h"

class ui_test_environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        // A test program run on a real display (the screenshot walk) keeps its platform.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ASSERT_EQ(module_.Init(nullptr), S_OK);
    }
    void TearDown() override { module_.Term(); }

private:
    ui_module module_;
};

inline ::testing::Environment* const g_ui_test_environment =
    ::testing::AddGlobalTestEnvironment(new ui_test_environment); // gtest owns it

// Base of window tests: automation on, and no exception left in the event loop.
class ui_test : public ::testing::Test {
protected:
    void SetUp() override { ui_automation::begin(); }
    void TearDown() override
    {
        ui_automation::pump(0);
        for (const auto& e : ui_automation::take_uncaught()) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                ADD_FAILURE() << "exception in a window handler: " << x.what();
            } catch (...) {
                ADD_FAILURE() << "exception in a window handler";
            }
        }
        EXPECT_TRUE(ui_automation::unexpected_modals().empty()) << "a modal loop found no handler";
        ui_automation::end();
    }
};
