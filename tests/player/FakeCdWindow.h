#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "cd/CdHandlers.h"

namespace tavrelo::testing {

// The CD handlers over plain records of the controls they change.
class FakeCdWindow final : public CdHandlers {
 public:
  struct Button {
    std::string caption;
    bool visible = false;
    float left = 120;
    float width = 615;
  };

  std::vector<Button> buttons{Button{}};
  std::string label2 = "Lecteur CD Audio";
  std::string label3;
  int label3Writes = 0;
  bool ended = false;

  MciReplyBuffer& reply() { return MciReply; }

 protected:
  std::string driveButtonCaption(int index) const override { return buttons.at(index).caption; }
  void setDriveButtonCaption(int index, const std::string& caption) override {
    buttons.at(index).caption = caption;
  }
  void setDriveButtonVisible(int index, bool visible) override {
    buttons.at(index).visible = visible;
  }
  void loadDriveButton(int index) override {
    if (index != static_cast<int>(buttons.size())) throw std::logic_error("array has a gap");
    buttons.push_back({"", false, buttons[0].left, buttons[0].width});
  }
  float driveButtonLeft(int index) const override { return buttons.at(index).left; }
  float driveButtonWidth(int index) const override { return buttons.at(index).width; }
  void setDriveButtonLeft(int index, float left) override { buttons.at(index).left = left; }
  void setLabel2Caption(const std::string& caption) override { label2 = caption; }
  void setLabel3Caption(const std::string& caption) override {
    label3 = caption;
    ++label3Writes;
  }
  void programEnded() override { ended = true; }
};

}  // namespace tavrelo::testing
