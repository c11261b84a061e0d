#pragma once
// Collects the messages instead of showing them; onShow runs while the "box" is open.

#include <functional>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

class FakeMessageBox : public platform::MessageBox {
  public:
    struct Shown {
        std::string text, caption;
        platform::MessageKind kind;
    };
    void Show(const std::string& text, const std::string& caption,
              platform::MessageKind kind) override {
        shown.push_back({text, caption, kind});
        if (onShow) onShow();
    }
    std::vector<Shown> shown;
    std::function<void()> onShow;
};
