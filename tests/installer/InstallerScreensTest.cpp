// The installer window's pages painted headless, compared with their golden
// pictures: the single-user page, the network page, and the single-user page
// with the bar shown part way. The window is shown without a medium, so it
// adds no fonts and the pinned stand-ins draw every text.
#include <gtest/gtest.h>

#include "GoldenImage.h"
#include "InstallerWindowFixture.h"
#include "ProgressBar.h"

using namespace qorv::test;

TEST_F(InstallerWindowTest, PagesLookAsTheirGoldenPictures) {
  TForm1& window = Window();
  ExpectLikeGolden(*window.PaintToSurface(), "installer", "installer-single-user.png");

  window.PageControl1->SetActivePage(window.TabSheet2);
  ExpectLikeGolden(*window.PaintToSurface(), "installer", "installer-network.png");

  window.PageControl1->SetActivePage(window.TabSheet1);
  window.StartProgress(42);
  for (int i = 0; i < 20; ++i) window.StepProgress();
  ExpectLikeGolden(*window.PaintToSurface(), "installer", "installer-progress.png");
}
