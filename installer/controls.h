// The installer window's controls as its form stream describes them: panel,
// picture and buttons with the properties the window uses. Platform-neutral;
// the Win32 window builds its native controls from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/classes.h"
#include "framework/forms.h"

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
extern const NameList kAlignNames;
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
extern const NameList kBevelCutNames;

// A visual control: bounds in its parent's client area, at the form's
// PixelsPerInch. The parent is the form or the control that lists it.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner) : TComponent(owner) {}
  const char* ClassName() const override { return "TControl"; }

  TComponent* Parent() const { return parent_; }
  void SetParent(TComponent* parent) { parent_ = parent; }

  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  TAlign Align = TAlign::alNone;
  bool Enabled = true;
  bool Visible = true;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;

 private:
  TComponent* parent_ = nullptr;
};

// A control with a window of its own, reached by the Tab key in TabOrder.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TWinControl"; }

  int32_t TabOrder = -1;
  bool TabStop = false;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
};

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner) : TWinControl(owner) {}
  const char* ClassName() const override { return "TPanel"; }

  std::string Caption;
  TBevelCut BevelInner = TBevelCut::bvNone;
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  TColor Color = clBtnFace;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
};

// The graphic classes a picture can hold; only this one is registered.
inline constexpr char kGifImageClass[] = "TGIFImage";

// A picture's graphic as it travels in a stream: its class name and its bytes.
// Its one property, Data, is computed: a short string with the graphic class
// name, a 32-bit length and that many bytes. A class that is not registered
// leaves the picture empty.
class TPicture : public TPersistent {
 public:
  const char* ClassName() const override { return "TPicture"; }

  bool Empty() const { return graphicClass_.empty(); }
  const std::string& GraphicClass() const { return graphicClass_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  void Clear();

  bool ReadComputedProperty(const std::string& name, ValueReader& value) override;
  // Reads a Data block; "Stream read error" when it is shorter than it says.
  void ReadData(TStream& stream);

 private:
  std::string graphicClass_;
  std::vector<uint8_t> data_;
};

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TImage"; }

  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }
  bool AutoSize = false;
  bool Center = false;
  bool Stretch = false;
  bool Transparent = false;

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;

 private:
  TPicture picture_;
};

// A push button. Default and Cancel make it answer Enter and Escape anywhere
// in the window; the installer's buttons have neither.
class TBitBtn : public TWinControl {
 public:
  explicit TBitBtn(TComponent* owner) : TWinControl(owner) { TabStop = true; }
  const char* ClassName() const override { return "TBitBtn"; }

  std::string Caption;
  bool Default = false;
  bool Cancel = false;
  TNotifyEvent OnClick;

  // Runs OnClick, if any, with this button as the sender.
  void Click();

  bool ReadProperty(const std::string& name, ValueReader& value) override;
  ObjectProperty FindObjectProperty(const std::string& name) override;
};
