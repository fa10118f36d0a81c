#include "character/records.h"
#include "session.h"

namespace talvoren::testing {
namespace {

using Shell = GameSession;

TEST_F(Shell, MainMenuExitEndsCleanlyAndSavesNothing) {
    EXPECT_EQ(play("99\n"), 0);
    EXPECT_EQ(transcript(),
              "<window 1000x500><title Talvoren -- Build v0.1.0><clear>[1] New Game\n[2] Options\n"
              "[3] Credits\n[4] Load Game\n\n[99] Exit\n> ");
    EXPECT_FALSE(fileExists("save1.txt"));
}

}  // namespace
}  // namespace talvoren::testing
