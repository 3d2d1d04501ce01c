// The application object of a module: the main form, the message loop on the
// thread's queue, termination and the standard error box.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "Forms.h"

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& error)>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // Chooses the display backend; harmless when called twice.
  void Initialize();
  // Makes a form owned by the application; the first one made is the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = NewForm<T>(this);
    if (!mainForm_) mainForm_ = reference;
  }
  TCustomForm* MainForm() const { return mainForm_; }
  // Shows the main form and handles messages until Terminate.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every message waiting now and returns.
  void ProcessMessages();
  // Waits for one message and handles it (WM_QUIT ends the application).
  void HandleMessage();
  // The exception event, or the standard error box: the message and one OK
  // button. Memory exhaustion (std::bad_alloc) arrives there as EOutOfMemory.
  void HandleException(const std::exception& error);
  void ShowException(const std::exception& error);
  // True when forms exist only in memory (no display).
  bool Headless() const;

  std::string Title;
  TExceptionEvent OnException;

  // Forms of this module, so a modal form can disable the others.
  const std::vector<TCustomForm*>& Forms() const { return forms_; }
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  TCustomForm* ActiveForm() const { return activeForm_; }
  void SetActiveForm(TCustomForm* form) { activeForm_ = form; }

  void Reset();

 private:
  bool ProcessMessage();
  TCustomForm* mainForm_ = nullptr;
  TCustomForm* activeForm_ = nullptr;
  bool terminated_ = false;
  std::vector<TCustomForm*> forms_;
};

// The application object of this module.
extern TApplication* Application;
