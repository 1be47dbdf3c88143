#include "tone/player/player.h"

#include <gtest/gtest.h>

TEST(PlayerSynth, Placeholder) { SUCCEED(); }
