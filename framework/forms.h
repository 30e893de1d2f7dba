// Fonts and the plain form base class that the payload host form and the
// installer window derive from, with the named constants their streams use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/classes.h"

// Colours: plain RGB values (0x00BBGGRR), or a Windows system colour index
// with the high byte set (0xFF000000 | COLOR_xxx).
using TColor = int32_t;
inline constexpr TColor kSystemColorFlag = static_cast<TColor>(0xFF000000u);
inline constexpr TColor clWindowText = kSystemColorFlag | 8;
inline constexpr TColor clBtnFace = kSystemColorFlag | 15;
inline constexpr TColor clBtnText = kSystemColorFlag | 18;
inline constexpr TColor clWindow = kSystemColorFlag | 5;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

// The colour names and character-set names streams may carry for an integer.
extern const IdentEntry kColorIdents[];
extern const size_t kColorIdentCount;
extern const IdentEntry kCharsetIdents[];
extern const size_t kCharsetIdentCount;
inline constexpr int32_t kAnsiCharset = 0;
inline constexpr int32_t kDefaultCharset = 1;

// The name of `value` in `idents`, if it has one.
const char* IdentOf(int32_t value, const IdentEntry* idents, size_t count);

enum TFontStyle : uint32_t { fsBold = 1u << 0, fsItalic = 1u << 1, fsUnderline = 1u << 2, fsStrikeOut = 1u << 3 };
using TFontStyles = uint32_t;  // bit n set for element n of fsBold..fsStrikeOut
extern const NameList kFontStyleNames;

class TFont : public TPersistent {
 public:
  const char* ClassName() const override { return "TFont"; }

  int32_t Charset = kDefaultCharset;
  TColor Color = clWindowText;
  int32_t Height = -11;
  std::string Name = "MS Sans Serif";
  TFontStyles Style = 0;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
  // Writes Charset, Color, Height, Name and Style, each as prefix + name.
  void WriteProperties(ValueWriter& out, const std::string& prefix) const;
  void WriteProperties(ValueWriter& out) const override { WriteProperties(out, std::string()); }

 protected:
  void AssignTo(TPersistent& dest) const override;
};

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
extern const NameList kBorderStyleNames;
enum class TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
extern const NameList kPositionNames;

// Creates a component of a class registered for streaming, owned by `owner`.
using ComponentFactory = std::function<std::unique_ptr<TComponent>(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, ComponentFactory factory);
// Null when no class of that name (compared without regard to case) is registered.
std::unique_ptr<TComponent> CreateRegisteredComponent(const std::string& className, TComponent* owner);

// A form: a root component with the window properties. Only the properties
// that were set (by a stream or by a setter) are written back, in the order
// the form streams carry them.
class TForm : public TComponent {
 public:
  explicit TForm(TComponent* owner = nullptr) : TComponent(owner) {}
  const char* ClassName() const override { return "TForm"; }

  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t ClientWidth() const { return clientWidth_; }
  int32_t ClientHeight() const { return clientHeight_; }
  const std::string& Caption() const { return caption_; }
  TColor Color() const { return color_; }
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  TPosition Position() const { return position_; }
  bool AutoSize() const { return autoSize_; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  int32_t PixelsPerInch() const { return pixelsPerInch_; }
  int32_t TextHeight() const { return textHeight_; }

  void SetLeft(int32_t v) {
    left_ = v;
    Mark(kLeft);
  }
  void SetTop(int32_t v) {
    top_ = v;
    Mark(kTop);
  }
  void SetWidth(int32_t v) {
    width_ = v;
    Mark(kWidth);
  }
  void SetHeight(int32_t v) {
    height_ = v;
    Mark(kHeight);
  }
  void SetClientWidth(int32_t v) {
    clientWidth_ = v;
    Mark(kClientWidth);
  }
  void SetClientHeight(int32_t v) {
    clientHeight_ = v;
    Mark(kClientHeight);
  }
  void SetCaption(const std::string& v) {
    caption_ = v;
    Mark(kCaption);
  }
  void SetColor(TColor v) {
    color_ = v;
    Mark(kColor);
  }
  // Marks the font as set, so it is written.
  TFont& SetFont() {
    Mark(kFont);
    return font_;
  }
  void SetBorderStyle(TFormBorderStyle v) {
    borderStyle_ = v;
    Mark(kBorderStyle);
  }
  void SetPosition(TPosition v) {
    position_ = v;
    Mark(kPosition);
  }
  void SetAutoSize(bool v) {
    autoSize_ = v;
    Mark(kAutoSize);
  }
  void SetOldCreateOrder(bool v) {
    oldCreateOrder_ = v;
    Mark(kOldCreateOrder);
  }
  void SetPixelsPerInch(int32_t v) {
    pixelsPerInch_ = v;
    Mark(kPixelsPerInch);
  }
  void SetTextHeight(int32_t v) {
    textHeight_ = v;
    Mark(kTextHeight);
  }

  TNotifyEvent OnShow;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
  bool ReadComputedProperty(const std::string& name, ValueReader& value) override;
  void WriteProperties(ValueWriter& out) const override;
  // Registered classes; a derived form offers its own child fields' classes
  // first. A created child is owned by this form.
  std::unique_ptr<TComponent> CreateChild(const std::string& className) override;

 private:
  enum Field : uint32_t {
    kLeft = 1u << 0,
    kTop = 1u << 1,
    kWidth = 1u << 2,
    kHeight = 1u << 3,
    kAutoSize = 1u << 4,
    kBorderStyle = 1u << 5,
    kCaption = 1u << 6,
    kClientHeight = 1u << 7,
    kClientWidth = 1u << 8,
    kColor = 1u << 9,
    kFont = 1u << 10,
    kOldCreateOrder = 1u << 11,
    kPosition = 1u << 12,
    kPixelsPerInch = 1u << 13,
    kTextHeight = 1u << 14,
  };
  void Mark(Field field) { set_ |= field; }
  bool IsSet(Field field) const { return (set_ & field) != 0; }

  uint32_t set_ = 0;
  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0, clientWidth_ = 0, clientHeight_ = 0;
  std::string caption_;
  TColor color_ = clBtnFace;
  TFont font_;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TPosition position_ = TPosition::poDesigned;
  bool autoSize_ = false;
  bool oldCreateOrder_ = false;
  int32_t pixelsPerInch_ = 96;
  int32_t textHeight_ = 13;
};
