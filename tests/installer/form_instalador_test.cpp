// The installer window's model: its stream read into the component tree, the
// caption from the file version, the error box text and the click guard.
#include "installer/form_instalador.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "installer/controls.h"
#include "platform/dialog_text.h"
#include "platform/host/host_platform.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/pe_builder.h"

namespace {

using platform::DialogRecord;
using platform::FileVersion;

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> WindowStream() { return ReadHostFile(INSTALADOR_WINDOW_STREAM); }

class FormInstaladorTest : public ::testing::Test {
 protected:
  void Load(const std::vector<uint8_t>& bytes) {
    FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(form);
    form.SetView(&view);
  }
  // The window's stream with Image1's Picture.Data block replaced.
  std::vector<uint8_t> WithPictureData(const FormValue& value) {
    const std::vector<uint8_t> original = WindowStream();
    FormObject root = ParseFormTree(original.data(), original.size());
    for (FormObject& child : root.children)
      for (FormProperty& property : child.properties)
        if (property.name == "Picture.Data") property.value[0] = value;
    return WriteFormTree(root);
  }

  // Every object of a parsed stream, the root first.
  static std::vector<FormObject*> Objects(FormObject& root) {
    std::vector<FormObject*> objects{&root};
    for (size_t i = 0; i < objects.size(); ++i)
      for (FormObject& child : objects[i]->children) objects.push_back(&child);
    return objects;
  }

  platform::HostPlatform machine;
  TFormInstalador form{machine};
  RecordingView view;
};

TEST_F(FormInstaladorTest, WindowStreamBuildsTheForm) {
  Load(WindowStream());
  EXPECT_EQ(form.Name(), "FormInstalador");
  EXPECT_EQ(form.Caption(), "Ostrelia - Instalador 1.0");
  EXPECT_EQ(form.ClientWidth(), 400);
  EXPECT_EQ(form.ClientHeight(), 303);
  EXPECT_EQ(form.BorderStyle(), TFormBorderStyle::bsDialog);
  EXPECT_EQ(form.Position(), TPosition::poScreenCenter);
  EXPECT_TRUE(form.AutoSize());
  EXPECT_EQ(form.Color(), clBtnFace);
  EXPECT_EQ(form.Font().Name, "MS Sans Serif");
  EXPECT_EQ(form.Font().Height, -11);
  EXPECT_EQ(form.Font().Charset, kDefaultCharset);
  EXPECT_EQ(form.Font().Color, clWindowText);
  EXPECT_EQ(form.PixelsPerInch(), 96);
  EXPECT_TRUE(form.OnShow);
  EXPECT_FALSE(form.Loading());
}

struct ControlLayout {
  const char* name;
  const char* parent;
  int left, top, width, height;
};

TEST_F(FormInstaladorTest, ControlsSitWhereTheWindowListsThem) {
  Load(WindowStream());
  const ControlLayout layouts[] = {
      {"Image1", "FormInstalador", 0, 0, 400, 250},
      {"Panel1", "FormInstalador", 0, 256, 400, 47},
      {"BitBtninstal", "Panel1", 98, 8, 75, 25},
      {"BitBtncerrar", "Panel1", 226, 8, 75, 25},
  };
  for (const ControlLayout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    auto* control = dynamic_cast<TControl*>(form.FindComponent(layout.name));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Owner(), &form);
    ASSERT_NE(control->Parent(), nullptr);
    EXPECT_EQ(control->Parent()->Name(), layout.parent);
    EXPECT_EQ(control->Left, layout.left);
    EXPECT_EQ(control->Top, layout.top);
    EXPECT_EQ(control->Width, layout.width);
    EXPECT_EQ(control->Height, layout.height);
  }
  ASSERT_NE(form.Panel1, nullptr);
  EXPECT_EQ(form.Panel1->Align, TAlign::alBottom);
  EXPECT_EQ(form.Panel1->BevelOuter, TBevelCut::bvNone);
  EXPECT_EQ(form.Panel1->TabOrder, 0);
  ASSERT_NE(form.BitBtninstal, nullptr);
  ASSERT_NE(form.BitBtncerrar, nullptr);
  EXPECT_EQ(form.BitBtninstal->Caption, "Instalar");
  EXPECT_EQ(form.BitBtncerrar->Caption, "Cerrar");
  EXPECT_EQ(form.BitBtninstal->TabOrder, 0);
  EXPECT_EQ(form.BitBtncerrar->TabOrder, 1);
  for (TBitBtn* button : {form.BitBtninstal, form.BitBtncerrar}) {
    EXPECT_FALSE(button->Default) << button->Name();
    EXPECT_FALSE(button->Cancel) << button->Name();
    EXPECT_TRUE(button->Enabled) << button->Name();
  }
}

TEST_F(FormInstaladorTest, BannerTravelsAsAGifWithItsClassName) {
  Load(WindowStream());
  ASSERT_NE(form.Image1, nullptr);
  EXPECT_TRUE(form.Image1->Center);
  EXPECT_EQ(form.Image1->Picture().GraphicClass(), "TGIFImage");
  EXPECT_EQ(form.Image1->Picture().Data(), ReadHostFile(INSTALADOR_BANNER_GIF));
}

TEST_F(FormInstaladorTest, CerrarAsksTheViewToClose) {
  Load(WindowStream());
  form.BitBtncerrar->Click();
  EXPECT_EQ(view.closeRequests, 1);
}

FormValue Block(const std::string& bytes) {
  FormValue value;
  value.code = ValueCode::Binary;
  value.bytes = bytes;
  return value;
}

std::string Le32(uint32_t n) {
  return std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                     static_cast<char>((n >> 16) & 0xFF), static_cast<char>((n >> 24) & 0xFF)};
}

struct PictureCase {
  const char* label;
  FormValue data;
  const char* graphicClass;  // nullptr: the picture stays empty
  std::string pictureBytes;
  const char* error;  // nullptr: the stream reads
};

TEST_F(FormInstaladorTest, PictureDataBlocks) {
  const std::string gif = "GIF89a-picture";
  FormValue asString;
  asString.code = ValueCode::String;
  asString.bytes = "TGIFImage";
  const PictureCase cases[] = {
      {"registered class", Block("\x09TGIFImage" + Le32(14) + gif), "TGIFImage", gif, nullptr},
      {"class name in another case", Block("\x09tgifimage" + Le32(14) + gif), "TGIFImage", gif, nullptr},
      {"bytes after the picture are not part of it", Block("\x09TGIFImage" + Le32(3) + gif), "TGIFImage", "GIF",
       nullptr},
      {"unknown class leaves the picture empty", Block("\x07TBitmap" + Le32(14) + gif), nullptr, "", nullptr},
      {"empty class name", Block(std::string("\x00", 1)), nullptr, "", nullptr},
      {"length past the block", Block("\x09TGIFImage" + Le32(15) + gif), nullptr, "",
       "Error reading Image1.Picture.Data: Stream read error"},
      {"length with the top bit set", Block("\x09TGIFImage" + Le32(0x80000000u) + gif), nullptr, "",
       "Error reading Image1.Picture.Data: Stream read error"},
      {"cut inside the length", Block("\x09TGIFImage\x0E"), nullptr, "",
       "Error reading Image1.Picture.Data: Stream read error"},
      {"cut inside the class name", Block("\x09TGIF"), nullptr, "",
       "Error reading Image1.Picture.Data: Stream read error"},
      {"not a byte block", asString, nullptr, "", "Error reading Image1.Picture.Data: Invalid property value"},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.label);
    platform::HostPlatform caseMachine;
    TFormInstalador caseForm(caseMachine);
    const std::vector<uint8_t> bytes = WithPictureData(c.data);
    if (c.error) {
      EXPECT_EQ(ErrorOf<EReadError>([&] { FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm); }),
                c.error);
      continue;
    }
    FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm);
    ASSERT_NE(caseForm.Image1, nullptr);
    // The rest of the stream is read as usual.
    EXPECT_NE(caseForm.BitBtncerrar, nullptr);
    const TPicture& picture = caseForm.Image1->Picture();
    EXPECT_EQ(picture.Empty(), c.graphicClass == nullptr);
    if (c.graphicClass) {
      EXPECT_EQ(picture.GraphicClass(), c.graphicClass);
    }
    EXPECT_EQ(std::string(picture.Data().begin(), picture.Data().end()), c.pictureBytes);
  }
}

// Handlers are bound by the names the stream gives; a name the window has no
// handler for is refused rather than left silently unbound.
TEST_F(FormInstaladorTest, EventsBindToTheWindowsHandlersByName) {
  const struct {
    const char* object;
    const char* property;
    const char* handler;
    const char* error;  // nullptr: binds
  } cases[] = {
      {"FormInstalador", "OnShow", "formshow", nullptr},
      {"BitBtninstal", "OnClick", "BitBtncerrarClick", nullptr},
      {"BitBtncerrar", "OnClick", "FormClose", "Error reading BitBtncerrar.OnClick: Invalid property value"},
      {"FormInstalador", "OnShow", "BitBtninstal", "Error reading FormInstalador.OnShow: Invalid property value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.object) + "." + c.property + " = " + c.handler);
    const std::vector<uint8_t> original = WindowStream();
    FormObject root = ParseFormTree(original.data(), original.size());
    for (FormObject* object : Objects(root))
      if (object->name == c.object)
        for (FormProperty& property : object->properties)
          if (property.name == c.property) property.value[0].bytes = c.handler;
    const std::vector<uint8_t> bytes = WriteFormTree(root);
    platform::HostPlatform caseMachine;
    caseMachine.SetModuleFileName("C:\\missing.exe");
    TFormInstalador caseForm(caseMachine);
    RecordingView caseView;
    caseForm.SetView(&caseView);
    const std::string error =
        ErrorOf<EReadError>([&] { FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm); });
    EXPECT_EQ(error, c.error ? c.error : "<no error>");
    if (c.error) continue;
    caseForm.OnShow(&caseForm);
    EXPECT_EQ(caseView.captions.size(), 1u);
    if (std::string(c.object) == "BitBtninstal") {
      // "Instalar" now runs the close handler.
      caseForm.BitBtninstal->Click();
      EXPECT_EQ(caseView.closeRequests, 1);
    }
  }
}

// With the child-position flag a control moves among its parent's controls,
// the list the window creates them from, in order: the form's or the panel's.
TEST_F(FormInstaladorTest, ChildPositionsOrderTheParentsControls) {
  const struct {
    std::vector<std::pair<const char*, int>> positions;
    const char* formControls;
    const char* panelControls;
  } cases[] = {
      {{}, "Panel1,Image1", "BitBtninstal,BitBtncerrar"},
      {{{"BitBtncerrar", 0}}, "Panel1,Image1", "BitBtncerrar,BitBtninstal"},
      // Counted in the whole list, also where the children read so far do not reach.
      {{{"Panel1", 1}}, "Image1,Panel1", "BitBtninstal,BitBtncerrar"},
      // Past the end: last; negative: first.
      {{{"Panel1", 7}}, "Image1,Panel1", "BitBtninstal,BitBtncerrar"},
      {{{"BitBtncerrar", -2}}, "Panel1,Image1", "BitBtncerrar,BitBtninstal"},
      // The same position twice: the later child takes it, the earlier makes room.
      {{{"Panel1", 0}, {"Image1", 0}}, "Image1,Panel1", "BitBtninstal,BitBtncerrar"},
      {{{"BitBtninstal", 1}, {"BitBtncerrar", 1}}, "Panel1,Image1", "BitBtninstal,BitBtncerrar"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.formControls + std::string(" / ") + c.panelControls);
    const std::vector<uint8_t> original = WindowStream();
    FormObject root = ParseFormTree(original.data(), original.size());
    for (const auto& [name, position] : c.positions)
      for (FormObject* object : Objects(root))
        if (object->name == name) {
          object->flags = kFlagChildPos;
          FormValue value;
          value.code = ValueCode::Int8;
          value.integer = position;
          object->position = {value};
        }
    const std::vector<uint8_t> bytes = WriteFormTree(root);
    platform::HostPlatform caseMachine;
    TFormInstalador caseForm(caseMachine);
    FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm);
    const auto controlsOf = [&caseForm](const TComponent* parent) {
      std::string names;
      for (size_t i = 0; i < caseForm.ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(caseForm.Component(i)); control && control->Parent() == parent)
          names += (names.empty() ? "" : ",") + control->Name();
      return names;
    };
    EXPECT_EQ(controlsOf(&caseForm), c.formControls);
    EXPECT_EQ(controlsOf(caseForm.Panel1), c.panelControls);
  }
}

TEST_F(FormInstaladorTest, StreamWithoutAControlIsRefused) {
  for (const char* missing : {"Panel1", "Image1", "BitBtninstal", "BitBtncerrar"}) {
    SCOPED_TRACE(missing);
    const std::vector<uint8_t> original = WindowStream();
    FormObject root = ParseFormTree(original.data(), original.size());
    auto drop = [missing](std::vector<FormObject>& children) {
      for (auto it = children.begin(); it != children.end(); ++it)
        if (it->name == missing) {
          children.erase(it);
          return;
        }
    };
    drop(root.children);
    for (FormObject& child : root.children) drop(child.children);
    const std::vector<uint8_t> bytes = WriteFormTree(root);
    platform::HostPlatform caseMachine;
    TFormInstalador caseForm(caseMachine);
    EXPECT_EQ(ErrorOf([&] { FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm); }),
              std::string("Component ") + missing + " not found");
  }
}

// The version record as a test sees it.
std::vector<int32_t> Record(const TFormInstalador& form) {
  return {form.FileVerMajor, form.FileVerMinor, form.FileVerRelease, form.FileVerBuild};
}

struct VersionCase {
  const char* label;
  std::optional<std::optional<FileVersion>> file;  // nullopt: no file; inner nullopt: no version info
  const char* text;
  std::vector<int32_t> record;  // after the read; the record starts as 7.7.7.7
};

TEST_F(FormInstaladorTest, GetFileVersionText) {
  const VersionCase cases[] = {
      {"this installer's version", FileVersion{1, 0, 4, 6}, "1.0.4.6", {1, 0, 4, 6}},
      {"no leading zeros or fixed width", FileVersion{10, 2, 0, 15}, "10.2.0.15", {10, 2, 0, 15}},
      {"largest numbers are unsigned",
       FileVersion{65535, 65535, 65535, 65535},
       "65535.65535.65535.65535",
       {65535, 65535, 65535, 65535}},
      {"all zero", FileVersion{0, 0, 0, 0}, "0.0.0.0", {0, 0, 0, 0}},
      {"no version information", std::optional<FileVersion>(), "", {7, 7, 7, 7}},
      {"missing file", std::nullopt, "", {7, 7, 7, 7}},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = "C:\\windows\\Temp\\probe.exe";
    machine.RemoveFile(path);
    if (c.file) machine.WriteFileBytes(path, BuildPeImage(*c.file));
    form.FileVerMajor = form.FileVerMinor = form.FileVerRelease = form.FileVerBuild = 7;
    EXPECT_EQ(form.GetFileVersionText(path), c.text);
    EXPECT_EQ(Record(form), c.record);
  }
}

TEST_F(FormInstaladorTest, FormShowSetsTheCaptionAndForgetsOracleHomes) {
  // The running image's version, whatever file has taken its name since.
  const struct {
    std::optional<FileVersion> version;
    std::optional<FileVersion> fileNow;
    const char* caption;
    std::vector<int32_t> record;  // the record starts as 7.7.7.7
  } cases[] = {
      {FileVersion{1, 0, 4, 6}, FileVersion{1, 0, 4, 6}, "Ostrelia - Instalador 1.0.4.6", {1, 0, 4, 6}},
      {FileVersion{1, 0, 4, 6}, FileVersion{9, 9, 9, 9}, "Ostrelia - Instalador 1.0.4.6", {1, 0, 4, 6}},
      // Without version information the caption keeps its trailing blank.
      {std::nullopt, FileVersion{9, 9, 9, 9}, "Ostrelia - Instalador ", {7, 7, 7, 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    platform::HostPlatform caseMachine;
    if (c.version)
      caseMachine.SetOwnVersionResource(
          VersionInfo(c.version->major, c.version->minor, c.version->release, c.version->build));
    caseMachine.WriteFileBytes("C:\\windows\\Temp\\Instalador.exe", BuildPeImage(c.fileNow));
    caseMachine.SetModuleFileName("C:\\windows\\Temp\\Instalador.exe");
    TFormInstalador caseForm(caseMachine);
    RecordingView caseView;
    caseForm.SetView(&caseView);
    const std::vector<uint8_t> bytes = WindowStream();
    FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(caseForm);
    caseForm.OracleHome = "C:\\oracle\\ora92";
    caseForm.XEClientHome = "C:\\oraclexe\\client";
    caseForm.ProgramFilesDir = "C:\\Program Files";

    caseForm.FileVerMajor = caseForm.FileVerMinor = caseForm.FileVerRelease = caseForm.FileVerBuild = 7;

    caseForm.OnShow(&caseForm);  // bound by name from the stream
    EXPECT_EQ(caseForm.Caption(), c.caption);
    EXPECT_EQ(Record(caseForm), c.record);
    EXPECT_EQ(caseView.captions, std::vector<std::string>{c.caption});
    EXPECT_EQ(caseForm.OracleHome, "");
    EXPECT_EQ(caseForm.XEClientHome, "");
    EXPECT_EQ(caseForm.ProgramFilesDir, "C:\\Program Files");
  }
}

TEST(ApplicationErrorTextTest, ClosingPeriodWhenTheLastCharacterSortsAfterIt) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Program Files Path Error", "Program Files Path Error."},
      {"Already closed.", "Already closed."},
      {"", ""},
      {"Cannot create file \"C:\\x\". Access is denied", "Cannot create file \"C:\\x\". Access is denied."},
      {"List index out of bounds (4)", "List index out of bounds (4)"},  // ')' sorts before '.'
      {"Wrong!", "Wrong!"},
      {"dash-", "dash-"},
      {"slash/", "slash/."},  // '/' is the first character after '.'
      {"digit 9", "digit 9."},
      {"ends in a line break\n", "ends in a line break\n"},
      {"instalaci\xF3n", "instalaci\xF3n."},  // code page 1252 bytes count as above '.'
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ApplicationErrorText(c.message), c.shown) << c.message;
}

// Input that reaches the window while the sequence runs (a message flush
// dispatches queued clicks) is ignored; the buttons work again afterwards,
// also after a run that ended in an error.
class WindowInputTest : public install_test::InstallTest {};

TEST_F(WindowInputTest, ButtonsIgnoreClicksInsideTheRunningInstall) {
  RegisterXEClient();
  machine.QueueDialogAnswers({platform::kIdOk, platform::kIdNo});
  int flushes = 0;
  machine.SetProcessMessagesHook([&] {
    if (++flushes > 1) return;
    EXPECT_TRUE(form->Installing());
    form->BitBtncerrarClick(nullptr);
    form->BitBtninstalClick(nullptr);
  });
  form->BitBtninstalClick(nullptr);
  EXPECT_EQ(view.closeRequests, 0);
  EXPECT_EQ(machine.Dialogs().size(), 2u);  // one run: success and the restart question
  EXPECT_FALSE(form->Installing());

  machine.DeleteKeyTree(platform::RootKey::LocalMachine, kCurrentVersionKey);
  EXPECT_THROW(form->BitBtninstalClick(nullptr), Exception);
  EXPECT_FALSE(form->Installing());
  form->BitBtncerrarClick(nullptr);
  EXPECT_EQ(view.closeRequests, 1);
}

TEST_F(FormInstaladorTest, StoredItemWithoutAPayload) {
  EXPECT_EQ(ErrorOf<EListError>([&] { form.StoredItem(2); }), "List index out of bounds (2)");
}

}  // namespace
