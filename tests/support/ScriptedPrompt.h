// A message-box stand-in for tests: answers from a script and keeps what was asked.
#pragma once

#include <QString>
#include <deque>
#include <vector>

#include "kb/ui/Prompt.h"

namespace kbtest {

// Answers from a script, in order; when the script runs out, the negative answer of the buttons
// (Ok, Cancel, No).
class ScriptedPrompt : public kb::ui::IPrompt {
  public:
    struct Asked {
        QString text;
        QString caption;
        kb::ui::PromptButtons buttons;
    };

    void Push(kb::ui::PromptAnswer answer) { script_.push_back(answer); }
    const std::vector<Asked>& AskedSoFar() const { return asked_; }

    kb::ui::PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                             kb::ui::PromptButtons buttons) override;

  private:
    std::deque<kb::ui::PromptAnswer> script_;
    std::vector<Asked> asked_;
};

}  // namespace kbtest
