#pragma once
// Answers the file dialogs from queues the test fills; an empty queue cancels or says No.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileDialogs.h"

class FakeFileDialogs : public platform::FileDialogs {
  public:
    struct Progress : platform::ProgressWindow {
        explicit Progress(FakeFileDialogs& owner) : owner(owner) { owner.progressOpen = true; }
        ~Progress() override { owner.progressOpen = false; }
        void SetPermille(int permille) override { owner.permilles.push_back(permille); }
        bool Cancelled() const override { return owner.cancelNow; }
        FakeFileDialogs& owner;
    };

    std::optional<std::string> AskSavePath(const std::string& title,
                                           const std::vector<std::string>& filters,
                                           const std::string& folder) override {
        asked.push_back(title + " @" + folder);
        this->filters = filters;
        if (paths.empty()) return std::nullopt;
        std::optional<std::string> path = paths.front();
        paths.pop_front();
        return path;
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    std::unique_ptr<platform::ProgressWindow> ShowProgress(const std::string&,
                                                           const std::string& text) override {
        progressTexts.push_back(text);
        return std::make_unique<Progress>(*this);
    }

    std::deque<std::optional<std::string>> paths;
    std::deque<bool> answers;
    std::vector<std::string> asked, questions, progressTexts, filters;
    std::vector<int> permilles;
    bool progressOpen = false;
    bool cancelNow = false;
};
