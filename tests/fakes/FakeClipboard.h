#pragma once
// The clipboard as one process-wide store, driven by the test: other programs copy through
// CopyFromOtherProgram (which notifies like a real change), failures are switched on by flags.

#include <functional>
#include <optional>
#include <string>

#include "platform/Clipboard.h"

class FakeClipboard : public platform::Clipboard {
  public:
    bool Open() override {
        ++openCalls;
        if (failOpen) return false;
        isOpen = true;
        return true;
    }
    bool Empty() override {
        ++emptyCalls;
        if (!isOpen || failEmpty) return false;
        text.reset();
        html.reset();
        hasOtherData = false;
        return true;
    }
    void Close() override {
        ++closeCalls;
        isOpen = false;
    }
    bool HasUnicodeText() override {
        ++hasTextChecks;
        if (textAppearsAfterChecks > 0 && --textAppearsAfterChecks == 0) text = lateText;
        return text.has_value();
    }
    std::optional<std::u16string> UnicodeText() override {
        if (!isOpen || failGetText) return std::nullopt;
        return text;
    }
    std::optional<std::string> Html() override { return isOpen ? html : std::nullopt; }
    void SetChangeListener(std::function<void()> l) override { listener = std::move(l); }

    // Another program takes the clipboard with text (or, without text, e.g. only a bitmap).
    void CopyFromOtherProgram(std::optional<std::u16string> copied) {
        text = std::move(copied);
        hasOtherData = !text;
        if (listener) listener();
    }

    std::optional<std::u16string> text;
    std::optional<std::string> html;  // offered beside the text
    bool hasOtherData = false;
    bool isOpen = false;
    bool failOpen = false;
    bool failEmpty = false;
    bool failGetText = false;
    // Text that shows up only at the n-th HasUnicodeText check (a slow owner).
    int textAppearsAfterChecks = 0;
    std::optional<std::u16string> lateText;

    int openCalls = 0, emptyCalls = 0, closeCalls = 0, hasTextChecks = 0;
    std::function<void()> listener;
};
