// A stand-in for the GUI framework's shell windows: records what the shell
// shows and answers its questions from a script. Registered for the life of
// the object.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shellui.h"

namespace qorv::test {

struct ShownQuestion {
  std::string Caption;
  std::string Text;
  std::string FileShown;  // the progress window's file name at the time
};

class ShellUiDouble : public platform::IShellUi {
 public:
  ShellUiDouble() { platform::RegisterShellUi(this); }
  ~ShellUiDouble() override { platform::UnregisterShellUi(this); }
  ShellUiDouble(const ShellUiDouble&) = delete;
  ShellUiDouble& operator=(const ShellUiDouble&) = delete;

  // Answers in order; Cancel once they run out.
  std::deque<platform::ShellAnswer> Answers;
  // The progress window's Cancel is pressed at this call of ShowProgress (1 = the first); 0: never.
  int CancelAtProgress = 0;

  std::vector<ShownQuestion> Questions;
  std::vector<std::string> Errors;  // "caption: text"
  std::vector<platform::ShellProgress> Progress;
  int Operations = 0;
  bool LastShowedProgress = false;

  std::unique_ptr<platform::IShellOperationUi> BeginOperation(HWND, bool showProgress) override {
    ++Operations;
    LastShowedProgress = showProgress;
    return std::make_unique<Operation>(*this);
  }
  void ShowError(HWND, const std::string& caption, const std::string& text) override {
    Errors.push_back(caption + ": " + text);
  }

 private:
  class Operation : public platform::IShellOperationUi {
   public:
    explicit Operation(ShellUiDouble& owner) : owner_(owner) {}
    void ShowProgress(const platform::ShellProgress& progress) override {
      owner_.Progress.push_back(progress);
      if (owner_.CancelAtProgress > 0 && static_cast<int>(owner_.Progress.size()) >= owner_.CancelAtProgress) {
        cancelled_ = true;
      }
    }
    bool CancelRequested() override { return cancelled_; }
    platform::ShellAnswer AskReplace(const std::string& caption, const std::string& text) override {
      std::string file = owner_.Progress.empty() ? std::string() : owner_.Progress.back().FileName;
      owner_.Questions.push_back({caption, text, file});
      if (owner_.Answers.empty()) return platform::ShellAnswer::Cancel;
      auto answer = owner_.Answers.front();
      owner_.Answers.pop_front();
      return answer;
    }
    void ShowError(const std::string& caption, const std::string& text) override {
      owner_.Errors.push_back(caption + ": " + text);
    }

   private:
    ShellUiDouble& owner_;
    bool cancelled_ = false;
  };
};

}  // namespace qorv::test
