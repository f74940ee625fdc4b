// Every Windows test program starts the units as the program does.
#include <gtest/gtest.h>

#include "graphics/mv_bitmap.h"
#include "platform/mv_utils.h"
#include "platform/mv_winapi.h"
#include "platform/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  TStartup units{{"mv_winapi", InitializeWinApi, FinalizeWinApi},
                 {"mv_utils", InitializeUtils, FinalizeUtils},
                 {"mv_bitmap", InitializeBitmapUnit, FinalizeBitmapUnit}};
  return RUN_ALL_TESTS();
}
