#pragma once
// The editor's questions and warnings, behind a seam so that tests answer them.

#include <string>

namespace dicteditor {

class Prompts {
  public:
    enum class SaveChoice { Save, Discard, Cancel };
    virtual ~Prompts() = default;
    virtual void Warn(const std::string& text) = 0;
    // A yes/no question whose safe answer, and default, is no.
    virtual bool Confirm(const std::string& text) = 0;
    virtual SaveChoice AskSaveChanges(const std::string& text) = 0;
};

}  // namespace dicteditor
