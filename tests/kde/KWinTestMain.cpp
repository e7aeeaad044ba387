// The main of the tests against KWin: under root they run again as the
// compositor's user (see TestUser.h).
#include "support/TestUser.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (const std::optional<int> status = kelvo::testing::rerunAsCompositorUser(argc, argv))
        return *status;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
