// The message boxes a plug-in shows, as the user sees them: title, text and
// button value (an OK button, with or without the exclamation icon).
#include "grabber_test_env.h"
#include "message_box.h"

#include <gmock/gmock.h>

using namespace testing_support;
using ::testing::ElementsAre;

TEST(CardMessages, FailShowsTheCardTitleAndReturnsFalse) {
    MessageBoxWatch boxes;
    const CardMessages messages(L"Test Card");
    EXPECT_FALSE(messages.Fail(L"Plain failure"));
    EXPECT_FALSE(messages.Fail(L"Status failure", BoxIcon::Exclamation));
    EXPECT_FALSE(messages.Unreachable());
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error - Test Card", L"Plain failure", 0},
                                          Box{L"Error - Test Card", L"Status failure", 48},
                                          Box{L"Error", L"Unable to access Test Card frame grabber", 0}));
}
