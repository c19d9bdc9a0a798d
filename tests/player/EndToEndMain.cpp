#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <iostream>
#include <memory>

#include "tests/player/XServer.h"

// The end-to-end tests own an X server: the program under test and this
// process (which reads the screen) both connect to it.
int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  std::unique_ptr<tavrelo::testing::XvfbServer> server;
  if (listing) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    server = std::make_unique<tavrelo::testing::XvfbServer>();
    if (!server->running()) {
      std::cerr << "no X server: " << server->error() << '\n';
      return 1;
    }
    qputenv("DISPLAY", server->display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
