// A form's font shared with a host as a standard font object: changes made
// through the object reach the form's font, and the form can follow a font
// object the host gives it. The link listens to the object's property change
// notifications; colour is no font object attribute and stays the form's.
//
// Threads: the apartment thread of the form and the font object.
#pragma once

#include <ocidl.h>

#include "Graphics.h"

class TOleFontLink {
 public:
  explicit TOleFontLink(TFont& font);
  ~TOleFontLink();
  TOleFontLink(const TOleFontLink&) = delete;
  TOleFontLink& operator=(const TOleFontLink&) = delete;

  // The linked font object's automation face, as a new reference for the
  // caller. Made from the font on first use; before it is answered it takes
  // whatever the form's font holds now. Raises EOleSysError when the object
  // cannot be made or has no IFontDisp.
  IFontDisp* FontDisp();
  // Follows this font object from now on (the previous one is let go) and
  // takes its attributes at once. Raises EOleSysError (E_POINTER for null,
  // E_NOINTERFACE for an object that is no font); the link is unchanged then.
  // An object without change notifications is taken once and not followed.
  void Link(IUnknown* fontObject);

 private:
  class TSink;

  void Unlink();
  void FontObjectChanged();
  // Form font -> font object, and back.
  void CopyToObject();
  void CopyFromObject();

  TFont& font_;
  IFont* object_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  TSink* sink_ = nullptr;
  // Set while this link writes to the object, whose notifications then echo
  // what the form's font already holds.
  bool copying_ = false;
};
