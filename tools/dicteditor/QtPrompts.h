#pragma once
// Prompts as modal Qt message boxes captioned with the program's name. Under
// SELVARINE_MESSAGES=log:PATH (the end-to-end rig) every text is logged instead and each
// question gets its safe answer (no, cancel), so that nothing blocks.

#include <QWidget>

#include "platform/qt/QtMessageBox.h"
#include "tools/dicteditor/Prompts.h"

namespace dicteditor {

class QtPrompts : public Prompts {
  public:
    QtPrompts(QWidget* parent, std::string caption);
    void Warn(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    SaveChoice AskSaveChanges(const std::string& text) override;

  private:
    bool Logging() const;
    QWidget* m_parent;
    std::string m_strCaption;
    platform::QtMessageBox m_box;
};

}  // namespace dicteditor
