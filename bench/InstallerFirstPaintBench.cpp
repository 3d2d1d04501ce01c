// Start to first paint of the installer window against an empty form in the
// same run: from making the form (the installer's from its stored
// description, pictures decoded, its show handler run) to the end of its
// first paint. Alternating rounds, each in a fresh system root with an empty
// medium (no fonts to add), min/median/max of each and the ratio of the
// medians. Goal: the installer under 300 ms and within 3 times the empty
// form. Uses the X11 display when DISPLAY is set, else the headless backend.
//
//   installer_first_paint_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <fileapi.h>
#include <objbase.h>

#include "Application.h"
#include "Forms.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds from making the form to the end of its first paint.
template <class T>
double FirstPaintMs() {
  auto start = Clock::now();
  T* form = NewForm<T>(nullptr);
  bool painted = false;
  double ms = 0;
  form->OnPaint = [&](TObject*) {
    if (painted) return;
    painted = true;
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  };
  form->Show();
  auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!painted && Clock::now() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Application->ProcessMessages();
  }
  delete form;
  return painted ? ms : -1;
}

// A bare framework form of the installer's size.
class TEmptyForm : public TForm {
 public:
  explicit TEmptyForm(TComponent* owner) : TForm(owner) {
    BorderStyle = bsNone;
    SetBounds(0, 0, 864, 414);
  }
};

struct Figures {
  double Min, Median, Max;
};

Figures Summary(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values.front(), values[values.size() / 2], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  fs::path roots = fs::temp_directory_path() / ("qorv-first-paint-" + std::to_string(::getpid()));
  CoInitialize(nullptr);
  Application->Initialize();
  std::vector<double> empty, installer;
  for (int i = 0; i < rounds; ++i) {
    setenv("QORV_SYSTEM_ROOT", (roots / std::to_string(i)).c_str(), 1);
    SetCurrentDirectoryA("C:\\");
    empty.push_back(FirstPaintMs<TEmptyForm>());
    installer.push_back(FirstPaintMs<TForm1>());
  }
  std::error_code ignored;
  fs::remove_all(roots, ignored);
  if (std::count(empty.begin(), empty.end(), -1.0) || std::count(installer.begin(), installer.end(), -1.0)) {
    std::fprintf(stderr, "installer_first_paint_bench: a form was never painted\n");
    return 1;
  }
  Figures e = Summary(empty), w = Summary(installer);
  std::printf("backend: %s, %d rounds\n", Application->Headless() ? "headless" : "X11", rounds);
  std::printf("empty form        min %7.2f  median %7.2f  max %7.2f ms\n", e.Min, e.Median, e.Max);
  std::printf("installer window  min %7.2f  median %7.2f  max %7.2f ms\n", w.Min, w.Median, w.Max);
  std::printf("ratio of medians  %.1fx (goal: under 300 ms and within 3x)\n", w.Median / e.Median);
  return 0;
}
