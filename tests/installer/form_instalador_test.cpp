// The installer window's model: its stream read into the component tree, the
// caption from the file version and the click guard.
#include "installer/form_instalador.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "framework/errors.h"
#include "installer/controls.h"
#include "installer/texts.h"
#include "platform/host/host_platform.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"
#include "tests/storage/stream_bytes.h"
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

constexpr char kReads[] = "<no error>";

// The window's model on a machine of its own, showing in a view that records.
struct WindowModel {
  WindowModel() { form.SetView(&view); }
  platform::HostPlatform machine;
  TFormInstalador form{machine};
  RecordingView view;
};

class FormInstaladorTest : public ::testing::Test, protected WindowModel {
 protected:
  // The sequence the tables share: the window's stream, parsed, changed by
  // `edit` and written again when there is one, read into `model`'s form; the
  // reading error, kReads when it reads.
  static std::string Read(WindowModel& model, const std::function<void(FormObject&)>& edit = nullptr) {
    std::vector<uint8_t> bytes = WindowStream();
    if (edit) {
      FormObject root = ParseFormTree(bytes.data(), bytes.size());
      edit(root);
      bytes = WriteFormTree(root);
    }
    return ErrorOf<EReadError>([&] { FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(model.form); });
  }
  void Load() { ASSERT_EQ(Read(*this), kReads); }

  // The object of that name in a parsed stream, the root included.
  static FormObject& Object(FormObject& root, const std::string& name) {
    std::vector<FormObject*> objects{&root};
    for (size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->name == name) return *objects[i];
      for (FormObject& child : objects[i]->children) objects.push_back(&child);
    }
    throw std::logic_error("no object " + name);
  }
  // The value of one of its properties.
  static FormValue& ValueOf(FormObject& root, const std::string& object, const std::string& property) {
    for (FormProperty& candidate : Object(root, object).properties)
      if (candidate.name == property) return candidate.value[0];
    throw std::logic_error("no property " + object + "." + property);
  }
};

TEST_F(FormInstaladorTest, WindowStreamBuildsTheForm) {
  Load();
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
  Load();
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
  Load();
  ASSERT_NE(form.Image1, nullptr);
  EXPECT_TRUE(form.Image1->Center);
  EXPECT_EQ(form.Image1->Picture().GraphicClass(), "TGIFImage");
  EXPECT_EQ(form.Image1->Picture().Data(), ReadHostFile(INSTALADOR_BANNER_GIF));
}

TEST_F(FormInstaladorTest, CerrarAsksTheViewToClose) {
  Load();
  form.BitBtncerrar->Click();
  EXPECT_EQ(view.closeRequests, 1);
}

FormValue Value(ValueCode code, std::string bytes, int64_t integer = 0) {
  FormValue value;
  value.code = code;
  value.bytes = std::move(bytes);
  value.integer = integer;
  return value;
}
FormValue Block(const StreamBytes& s) { return Value(ValueCode::Binary, std::string(s.bytes.begin(), s.bytes.end())); }

struct PictureCase {
  const char* label;
  FormValue data;
  const char* graphicClass;  // nullptr: the picture stays empty
  std::string pictureBytes;
  const char* error;  // nullptr: the stream reads
};

TEST_F(FormInstaladorTest, PictureDataBlocks) {
  const std::string gif = "GIF89a-picture";
  // A GIF picture under that class name, its length as given.
  const auto picture = [&gif](const char* className, uint32_t length) {
    return Block(StreamBytes().Short(className).U32(length).Raw(gif));
  };
  const char* const cut = "Error reading Image1.Picture.Data: Stream read error";
  const PictureCase cases[] = {
      {"registered class", picture("TGIFImage", 14), "TGIFImage", gif, nullptr},
      {"class name in another case", picture("tgifimage", 14), "TGIFImage", gif, nullptr},
      {"bytes after the picture are not part of it", picture("TGIFImage", 3), "TGIFImage", "GIF", nullptr},
      {"unknown class leaves the picture empty", picture("TBitmap", 14), nullptr, "", nullptr},
      {"empty class name", Block(StreamBytes().U8(0)), nullptr, "", nullptr},
      {"length past the block", picture("TGIFImage", 15), nullptr, "", cut},
      {"length with the top bit set", picture("TGIFImage", 0x80000000u), nullptr, "", cut},
      {"cut inside the length", Block(StreamBytes().Short("TGIFImage").U8(0x0E)), nullptr, "", cut},
      {"cut inside the class name", Block(StreamBytes().U8(9).Raw("TGIF")), nullptr, "", cut},
      {"not a byte block", Value(ValueCode::String, "TGIFImage"), nullptr, "",
       "Error reading Image1.Picture.Data: Invalid property value"},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.label);
    WindowModel model;
    EXPECT_EQ(Read(model, [&c](FormObject& root) { ValueOf(root, "Image1", "Picture.Data") = c.data; }),
              c.error ? c.error : kReads);
    if (c.error) continue;
    ASSERT_NE(model.form.Image1, nullptr);
    // The rest of the stream is read as usual.
    EXPECT_NE(model.form.BitBtncerrar, nullptr);
    const TPicture& picture = model.form.Image1->Picture();
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
    WindowModel model;
    model.machine.SetModuleFileName("C:\\missing.exe");
    EXPECT_EQ(Read(model, [&c](FormObject& root) { ValueOf(root, c.object, c.property).bytes = c.handler; }),
              c.error ? c.error : kReads);
    if (c.error) continue;
    model.form.OnShow(&model.form);
    EXPECT_EQ(model.view.captions.size(), 1u);
    if (std::string(c.object) == "BitBtninstal") {
      // "Instalar" now runs the close handler.
      model.form.BitBtninstal->Click();
      EXPECT_EQ(model.view.closeRequests, 1);
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
    WindowModel model;
    ASSERT_EQ(Read(model,
                   [&c](FormObject& root) {
                     for (const auto& [name, position] : c.positions) {
                       FormObject& object = Object(root, name);
                       object.flags = kFlagChildPos;
                       object.position = {Value(ValueCode::Int8, "", position)};
                     }
                   }),
              kReads);
    const auto controlsOf = [&model](const TComponent* parent) {
      std::string names;
      for (size_t i = 0; i < model.form.ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TControl*>(model.form.Component(i)); control && control->Parent() == parent)
          names += (names.empty() ? "" : ",") + control->Name();
      return names;
    };
    EXPECT_EQ(controlsOf(&model.form), c.formControls);
    EXPECT_EQ(controlsOf(model.form.Panel1), c.panelControls);
  }
}

// Drops the object of that name wherever it lies below `parent`.
void Drop(FormObject& parent, const std::string& name) {
  std::vector<FormObject>& children = parent.children;
  children.erase(
      std::remove_if(children.begin(), children.end(), [&name](const FormObject& child) { return child.name == name; }),
      children.end());
  for (FormObject& child : children) Drop(child, name);
}

TEST_F(FormInstaladorTest, StreamWithoutAControlIsRefused) {
  for (const char* missing : {"Panel1", "Image1", "BitBtninstal", "BitBtncerrar"}) {
    SCOPED_TRACE(missing);
    WindowModel model;
    EXPECT_EQ(Read(model, [missing](FormObject& root) { Drop(root, missing); }),
              Format(texts::kMissingComponent, missing));
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
    WindowModel model;
    if (c.version)
      model.machine.SetOwnVersionResource(
          VersionInfo(c.version->major, c.version->minor, c.version->release, c.version->build));
    model.machine.WriteFileBytes("C:\\windows\\Temp\\Instalador.exe", BuildPeImage(c.fileNow));
    model.machine.SetModuleFileName("C:\\windows\\Temp\\Instalador.exe");
    ASSERT_EQ(Read(model), kReads);
    TFormInstalador& caseForm = model.form;
    caseForm.OracleHome = "C:\\oracle\\ora92";
    caseForm.XEClientHome = "C:\\oraclexe\\client";
    caseForm.ProgramFilesDir = "C:\\Program Files";
    caseForm.FileVerMajor = caseForm.FileVerMinor = caseForm.FileVerRelease = caseForm.FileVerBuild = 7;

    caseForm.OnShow(&caseForm);  // bound by name from the stream
    EXPECT_EQ(caseForm.Caption(), c.caption);
    EXPECT_EQ(Record(caseForm), c.record);
    EXPECT_EQ(model.view.captions, std::vector<std::string>{c.caption});
    EXPECT_EQ(caseForm.OracleHome, "");
    EXPECT_EQ(caseForm.XEClientHome, "");
    EXPECT_EQ(caseForm.ProgramFilesDir, "C:\\Program Files");
  }
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
