#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "about/frmAbout.h"
#include "platform/win32/Registry.h"
#include "platform/win32/VbRuntime.h"
#include "tests/about/MemoryRegistry.h"
#include "tests/about/RecordingShell.h"
#include "tests/support/RecordingDesktop.h"

namespace tavrelo::testing {

// A fresh About window over a recording desktop, shell and an empty registry;
// App's settings are put back afterwards.
class AboutFixture : public ::testing::Test {
 protected:
  AboutFixture() : savedApp_(App) {
    win32::setRegistry(&registry);
    shellCalls().clear();
    shellAnswer() = 42;
  }
  ~AboutFixture() override {
    form.reset();
    win32::setRegistry(nullptr);
    App = savedApp_;
  }

  frmAbout& load() {
    form = std::make_unique<frmAbout>();
    return *form;
  }

  // Shows the window and makes it the active one, so keys reach it.
  frmAbout& showActive() {
    load();
    form->show();
    QApplication::setActiveWindow(form.get());
    form->activateWindow();
    QApplication::processEvents();
    return *form;
  }

  RecordingDesktop desktop;
  win32::MemoryRegistry registry;
  std::unique_ptr<frmAbout> form;

 private:
  AppObject savedApp_;
};

}  // namespace tavrelo::testing
