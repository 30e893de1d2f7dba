// Fonts, forms, their named constants and the registry of streamable classes.
#include "framework/forms.h"

#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"

namespace {

constexpr int32_t Sys(int32_t index) { return kSystemColorFlag | index; }

const char* const kFontStyleElementNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const char* const kBorderStyleElementNames[] = {"bsNone",   "bsSingle",     "bsSizeable",
                                                "bsDialog", "bsToolWindow", "bsSizeToolWin"};
const char* const kPositionElementNames[] = {"poDesigned",        "poDefault",        "poDefaultPosOnly",
                                             "poDefaultSizeOnly", "poScreenCenter",   "poDesktopCenter",
                                             "poMainFormCenter",  "poOwnerFormCenter"};

struct RegisteredClass {
  std::string name;
  ComponentFactory factory;
};

std::vector<RegisteredClass>& Registry() {
  static std::vector<RegisteredClass> classes;
  return classes;
}

}  // namespace

const IdentEntry kColorIdents[] = {
    {"clBlack", 0x000000},        {"clMaroon", 0x000080},
    {"clGreen", 0x008000},        {"clOlive", 0x008080},
    {"clNavy", 0x800000},         {"clPurple", 0x800080},
    {"clTeal", 0x808000},         {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},       {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},         {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},         {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},         {"clWhite", 0xFFFFFF},
    {"clNone", 0x1FFFFFFF},       {"clDefault", 0x20000000},
    {"clScrollBar", Sys(0)},      {"clBackground", Sys(1)},
    {"clActiveCaption", Sys(2)},  {"clInactiveCaption", Sys(3)},
    {"clMenu", Sys(4)},           {"clWindow", Sys(5)},
    {"clWindowFrame", Sys(6)},    {"clMenuText", Sys(7)},
    {"clWindowText", Sys(8)},     {"clCaptionText", Sys(9)},
    {"clActiveBorder", Sys(10)},  {"clInactiveBorder", Sys(11)},
    {"clAppWorkSpace", Sys(12)},  {"clHighlight", Sys(13)},
    {"clHighlightText", Sys(14)}, {"clBtnFace", Sys(15)},
    {"clBtnShadow", Sys(16)},     {"clGrayText", Sys(17)},
    {"clBtnText", Sys(18)},       {"clInactiveCaptionText", Sys(19)},
    {"clBtnHighlight", Sys(20)},  {"cl3DDkShadow", Sys(21)},
    {"cl3DLight", Sys(22)},       {"clInfoText", Sys(23)},
    {"clInfoBk", Sys(24)},
};
const size_t kColorIdentCount = sizeof(kColorIdents) / sizeof(kColorIdents[0]);

const IdentEntry kCharsetIdents[] = {
    {"ANSI_CHARSET", 0},          {"DEFAULT_CHARSET", 1},      {"SYMBOL_CHARSET", 2},    {"MAC_CHARSET", 77},
    {"SHIFTJIS_CHARSET", 128},    {"HANGEUL_CHARSET", 129},    {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"GREEK_CHARSET", 161},      {"TURKISH_CHARSET", 162}, {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},      {"ARABIC_CHARSET", 178},     {"BALTIC_CHARSET", 186},  {"RUSSIAN_CHARSET", 204},
    {"THAI_CHARSET", 222},        {"EASTEUROPE_CHARSET", 238}, {"OEM_CHARSET", 255},
};
const size_t kCharsetIdentCount = sizeof(kCharsetIdents) / sizeof(kCharsetIdents[0]);

const NameList kFontStyleNames = {kFontStyleElementNames, 4};
const NameList kBorderStyleNames = {kBorderStyleElementNames, 6};
const NameList kPositionNames = {kPositionElementNames, 8};

const char* IdentOf(int32_t value, const IdentEntry* idents, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (idents[i].value == value) return idents[i].name;
  return nullptr;
}

void RegisterComponentClass(const std::string& className, ComponentFactory factory) {
  for (RegisteredClass& entry : Registry()) {
    if (SameText(entry.name, className)) {
      entry.factory = std::move(factory);
      return;
    }
  }
  Registry().push_back({className, std::move(factory)});
}

std::unique_ptr<TComponent> CreateRegisteredComponent(const std::string& className, TComponent* owner) {
  for (const RegisteredClass& entry : Registry())
    if (SameText(entry.name, className)) return entry.factory(owner);
  return nullptr;
}

namespace {

// An integer written by its name when it has one, as the stored streams do.
void WriteNamedInteger(ValueWriter& out, const std::string& name, int32_t value, const IdentEntry* idents,
                       size_t count) {
  if (const char* ident = IdentOf(value, idents, count))
    out.WriteIdent(name, ident);
  else
    out.WriteInteger(name, value);
}

std::vector<std::string> SetElements(uint32_t bits, NameList names) {
  std::vector<std::string> elements;
  for (size_t i = 0; i < names.count && i < 32; ++i)
    if (bits & (1u << i)) elements.emplace_back(names.names[i]);
  return elements;
}

}  // namespace

bool TFont::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Charset")) {
    Charset = value.ReadInteger(kCharsetIdents, kCharsetIdentCount);
  } else if (SameText(name, "Color")) {
    Color = value.ReadInteger(kColorIdents, kColorIdentCount);
  } else if (SameText(name, "Height")) {
    Height = value.ReadInteger();
  } else if (SameText(name, "Name")) {
    Name = value.ReadString();
  } else if (SameText(name, "Style")) {
    Style = value.ReadSet(kFontStyleNames);
  } else {
    return false;
  }
  return true;
}

ObjectProperty TFont::FindObjectProperty(const std::string& name) {
  // A font's properties all hold plain values.
  return PlainOr(name, {"Charset", "Color", "Height", "Name", "Style"}, TPersistent::FindObjectProperty(name));
}

void TFont::WriteProperties(ValueWriter& out, const std::string& prefix) const {
  WriteNamedInteger(out, prefix + "Charset", Charset, kCharsetIdents, kCharsetIdentCount);
  WriteNamedInteger(out, prefix + "Color", Color, kColorIdents, kColorIdentCount);
  out.WriteInteger(prefix + "Height", Height);
  out.WriteString(prefix + "Name", Name);
  out.WriteSet(prefix + "Style", SetElements(Style, kFontStyleNames));
}

void TFont::AssignTo(TPersistent& dest) const {
  if (auto* font = dynamic_cast<TFont*>(&dest)) {
    font->Charset = Charset;
    font->Color = Color;
    font->Height = Height;
    font->Name = Name;
    font->Style = Style;
    return;
  }
  TPersistent::AssignTo(dest);
}

bool TForm::ReadProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "Left")) {
    SetLeft(value.ReadInteger());
  } else if (SameText(name, "Top")) {
    SetTop(value.ReadInteger());
  } else if (SameText(name, "Width")) {
    SetWidth(value.ReadInteger());
  } else if (SameText(name, "Height")) {
    SetHeight(value.ReadInteger());
  } else if (SameText(name, "ClientWidth")) {
    SetClientWidth(value.ReadInteger());
  } else if (SameText(name, "ClientHeight")) {
    SetClientHeight(value.ReadInteger());
  } else if (SameText(name, "Caption")) {
    SetCaption(value.ReadString());
  } else if (SameText(name, "Color")) {
    SetColor(value.ReadInteger(kColorIdents, kColorIdentCount));
  } else if (SameText(name, "BorderStyle")) {
    SetBorderStyle(static_cast<TFormBorderStyle>(value.ReadEnum(kBorderStyleNames)));
  } else if (SameText(name, "Position")) {
    SetPosition(static_cast<TPosition>(value.ReadEnum(kPositionNames)));
  } else if (SameText(name, "AutoSize")) {
    SetAutoSize(value.ReadBoolean());
  } else if (SameText(name, "OldCreateOrder")) {
    SetOldCreateOrder(value.ReadBoolean());
  } else if (SameText(name, "PixelsPerInch")) {
    SetPixelsPerInch(value.ReadInteger());
  } else if (SameText(name, "OnShow")) {
    OnShow = value.ReadNotifyEvent();
  } else if (SameText(name, "Font")) {
    // An object property holds no value of its own in a stream.
    value.Skip();
    throw EReadError(msg::kInvalidPropertyValue);
  } else {
    return TComponent::ReadProperty(name, value);
  }
  return true;
}

ObjectProperty TForm::FindObjectProperty(const std::string& name) {
  if (SameText(name, "Font")) {
    Mark(kFont);
    return {ObjectProperty::Kind::Object, &font_};
  }
  return PlainOr(name,
                 {"Left", "Top", "Width", "Height", "ClientWidth", "ClientHeight", "Caption", "Color", "BorderStyle",
                  "Position", "AutoSize", "OldCreateOrder", "PixelsPerInch", "OnShow"},
                 TComponent::FindObjectProperty(name));
}

bool TForm::ReadComputedProperty(const std::string& name, ValueReader& value) {
  if (SameText(name, "TextHeight")) {
    SetTextHeight(value.ReadInteger());
    return true;
  }
  return TComponent::ReadComputedProperty(name, value);
}

void TForm::WriteProperties(ValueWriter& out) const {
  if (Tag() != 0) out.WriteInteger("Tag", Tag());
  if (IsSet(kLeft)) out.WriteInteger("Left", left_);
  if (IsSet(kTop)) out.WriteInteger("Top", top_);
  if (IsSet(kWidth)) out.WriteInteger("Width", width_);
  if (IsSet(kHeight)) out.WriteInteger("Height", height_);
  if (IsSet(kAutoSize)) out.WriteBoolean("AutoSize", autoSize_);
  if (IsSet(kBorderStyle)) out.WriteIdent("BorderStyle", kBorderStyleElementNames[static_cast<int>(borderStyle_)]);
  if (IsSet(kCaption)) out.WriteString("Caption", caption_);
  if (IsSet(kClientHeight)) out.WriteInteger("ClientHeight", clientHeight_);
  if (IsSet(kClientWidth)) out.WriteInteger("ClientWidth", clientWidth_);
  if (IsSet(kColor)) WriteNamedInteger(out, "Color", color_, kColorIdents, kColorIdentCount);
  if (IsSet(kFont)) font_.WriteProperties(out, "Font.");
  if (IsSet(kOldCreateOrder)) out.WriteBoolean("OldCreateOrder", oldCreateOrder_);
  if (IsSet(kPosition)) out.WriteIdent("Position", kPositionElementNames[static_cast<int>(position_)]);
  if (IsSet(kPixelsPerInch)) out.WriteInteger("PixelsPerInch", pixelsPerInch_);
  // Computed last, as the streams carry it.
  if (IsSet(kTextHeight)) out.WriteInteger("TextHeight", textHeight_);
}

std::unique_ptr<TComponent> TForm::CreateChild(const std::string& className) {
  return CreateRegisteredComponent(className, this);
}
