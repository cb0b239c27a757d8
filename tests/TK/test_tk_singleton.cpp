#include <gtest/gtest.h>
#include <memory>

#include "TK/tk_singleton.h"

namespace {
class engine : public tk_singleton<engine> {
public:
    explicit engine(int v) : value(v) {}
    int value;
};
} // namespace

TEST(TkSingleton, FirstObjectIsRegisteredUntilItGoes)
{
    EXPECT_FALSE(engine::exists());
    try {
        engine::ref();
        FAIL() << "no assertion";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, make_err_meggase("..\\TK/tk_singl", 71));
    }
    try {
        engine::ptr();
        FAIL() << "no assertion";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, make_err_meggase("..\\TK/tk_singl", 64));
    }
    {
        engine first(1);
        EXPECT_EQ(engine::ref().value, 1);
        {
            engine second(2);
            EXPECT_EQ(engine::ptr()->value, 1);
        }
        // The second object's end leaves the first one reachable.
        EXPECT_EQ(engine::ref().value, 1);
    }
    EXPECT_EQ(engine::find(), nullptr);
    EXPECT_THROW(engine::ref(), tk_mail_assertion);
}
