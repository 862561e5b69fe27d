#pragma once
// A main player over fake engines and an in-memory play list, for the windows that show
// and drive it.

#include "player/main_player.h"
#include "player/play_list.h"
#include "tests/player/player_fakes.h"
#include "tests/support/program_test.h"

#include <memory>

class WindowsTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        list = std::make_unique<PlayList>(path(QStringLiteral("mplay.dll")));
        player = std::make_unique<MainPlayer>(*list, library, media);
    }
    void TearDown() override
    {
        player.reset();
        list.reset();
        ProgramTest::TearDown();
    }

    FakeLibrary library;
    FakeMedia media;
    std::unique_ptr<PlayList> list;
    std::unique_ptr<MainPlayer> player;
};
