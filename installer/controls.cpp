// Stream properties of the installer window's controls.
#include "installer/controls.h"

#include "framework/errors.h"
#include "framework/messages.h"
#include "storage/byte_cursor.h"

namespace {

const char* const kAlignElementNames[] = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"};
const char* const kBevelCutElementNames[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

}  // namespace

const NameList kAlignNames = {kAlignElementNames, 7};
const NameList kBevelCutNames = {kBevelCutElementNames, 4};

bool TControl::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Left")) {
    Left = value.ReadInteger();
  } else if (SameText(name, "Top")) {
    Top = value.ReadInteger();
  } else if (SameText(name, "Width")) {
    Width = value.ReadInteger();
  } else if (SameText(name, "Height")) {
    Height = value.ReadInteger();
  } else if (SameText(name, "Align")) {
    Align = static_cast<TAlign>(value.ReadEnum(kAlignNames));
  } else if (SameText(name, "Enabled")) {
    Enabled = value.ReadBoolean();
  } else if (SameText(name, "Visible")) {
    Visible = value.ReadBoolean();
  } else {
    return TComponent::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TControl::FindObjectProperty(const std::string& name) {
  return PlainOr(name, {"Left", "Top", "Width", "Height", "Align", "Enabled", "Visible", "Tag"},
                 TComponent::FindObjectProperty(name));
}

bool TWinControl::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "TabOrder")) {
    TabOrder = value.ReadInteger();
  } else if (SameText(name, "TabStop")) {
    TabStop = value.ReadBoolean();
  } else {
    return TControl::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TWinControl::FindObjectProperty(const std::string& name) {
  return PlainOr(name, {"TabOrder", "TabStop"}, TControl::FindObjectProperty(name));
}

bool TPanel::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Caption")) {
    Caption = value.ReadString();
  } else if (SameText(name, "BevelInner")) {
    BevelInner = static_cast<TBevelCut>(value.ReadEnum(kBevelCutNames));
  } else if (SameText(name, "BevelOuter")) {
    BevelOuter = static_cast<TBevelCut>(value.ReadEnum(kBevelCutNames));
  } else if (SameText(name, "Color")) {
    Color = value.ReadInteger(kColorIdents, kColorIdentCount);
  } else {
    return TWinControl::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TPanel::FindObjectProperty(const std::string& name) {
  return PlainOr(name, {"Caption", "BevelInner", "BevelOuter", "Color"}, TWinControl::FindObjectProperty(name));
}

void TPicture::Clear() {
  graphicClass_.clear();
  data_.clear();
}

bool TPicture::ReadComputedProperty(const std::string& name, ValueReader& value) {
  if (!SameText(name, "Data")) return TPersistent::ReadComputedProperty(name, value);
  value.ReadBinary([this](TStream& stream) { ReadData(stream); });
  return true;
}

void TPicture::ReadData(TStream& stream) {
  Clear();
  StreamFields in(stream);
  // An unknown graphic class is not an error: the picture stays empty and the
  // rest of the stream is read as usual.
  if (!SameText(in.ShortString(), kGifImageClass)) return;

  const uint32_t length = in.U32();
  if (length > 0x7FFFFFFFu) FailStreamRead();
  in.Need(length);  // before anything is allocated
  std::vector<uint8_t> data(length);
  in.Read(data.data(), length);
  graphicClass_ = kGifImageClass;
  data_ = std::move(data);
}

bool TImage::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "AutoSize")) {
    AutoSize = value.ReadBoolean();
  } else if (SameText(name, "Center")) {
    Center = value.ReadBoolean();
  } else if (SameText(name, "Stretch")) {
    Stretch = value.ReadBoolean();
  } else if (SameText(name, "Transparent")) {
    Transparent = value.ReadBoolean();
  } else if (SameText(name, "Picture")) {
    // An object property holds no value of its own in a stream.
    value.Skip();
    throw EReadError(msg::kInvalidPropertyValue);
  } else {
    return TControl::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TImage::FindObjectProperty(const std::string& name) {
  if (SameText(name, "Picture")) return {ObjectProperty::Kind::Object, &picture_};
  return PlainOr(name, {"AutoSize", "Center", "Stretch", "Transparent"}, TControl::FindObjectProperty(name));
}

void TBitBtn::Click() {
  if (OnClick) OnClick(this);
}

bool TBitBtn::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Caption")) {
    Caption = value.ReadString();
  } else if (SameText(name, "Default")) {
    Default = value.ReadBoolean();
  } else if (SameText(name, "Cancel")) {
    Cancel = value.ReadBoolean();
  } else if (SameText(name, "OnClick")) {
    OnClick = value.ReadNotifyEvent();
  } else {
    return TWinControl::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TBitBtn::FindObjectProperty(const std::string& name) {
  return PlainOr(name, {"Caption", "Default", "Cancel", "OnClick"}, TWinControl::FindObjectProperty(name));
}
