// The picture property of images and glyphs: one graphic of any kind, chosen
// by the data it is loaded from.
#pragma once

#include <functional>
#include <memory>

#include "Graphic.h"

class TPicture {
 public:
  TGraphic* Graphic() const { return graphic_.get(); }
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  bool Empty() const { return !graphic_ || graphic_->Empty(); }

  // Takes a copy of the graphic; nullptr clears the picture.
  void Assign(const TGraphic* graphic);
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  // BMP, PNG or JPEG data, told apart by their signatures; the stored form
  // may start with the graphic's class name as a short string (and, for a
  // bitmap, its size). Raises EInvalidGraphic (a picture past the size limit
  // included) or EOutOfMemory and keeps the old picture when the data cannot
  // be loaded.
  void LoadFromBytes(const std::uint8_t* data, std::size_t size);
  void LoadFromFile(const std::string& path);

  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::unique_ptr<TGraphic> graphic_;
};

// Makes an empty graphic of the kind the data holds; raises EInvalidGraphic
// for data of no known kind.
std::unique_ptr<TGraphic> DecodeGraphic(const std::uint8_t* data, std::size_t size);
