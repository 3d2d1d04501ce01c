// The control activated in place in a host form's window is part of the
// host's picture at the place the host gives, follows a new place, and leaves
// the picture when deactivated.
#include <gtest/gtest.h>

#include "OleTestHost.h"
#include "SitedFormSupport.h"

namespace {

using namespace qorv::test::ole;
namespace sited = qorv::test::sited;

using ActiveFormControlInHostForm = OleHostTest;

TEST_F(ActiveFormControlInHostForm, InPlaceTheControlShowsInTheHostFormsPicture) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  site.Window = host.Handle();
  site.Frame.Window = host.Handle();
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);

  const RECT place{30, 15, 150, 105};
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, -1, host.Handle(), &place), S_OK);
  EXPECT_TRUE(sited::ShowsOnly(host, {{form, 30, 15}}));

  auto inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  const RECT moved{60, 20, 180, 110};
  ASSERT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
  EXPECT_TRUE(sited::ShowsOnly(host, {{form, 60, 20}})) << "moved";

  ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_TRUE(sited::ShowsOnly(host, {})) << "deactivated";
  object->SetClientSite(nullptr);
}

}  // namespace
