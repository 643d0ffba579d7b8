#include <gtest/gtest.h>

#include <string>

// Setup.exe defines this beside its application object; the tests run the
// application objects that they construct themselves.
std::string SelectedPort;

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
