// Shell links written and read back: settings stored as given, replaced when
// present, skipped without a report when their folder is missing.
#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/row_name.h"

#ifndef _WIN32
#include "platform/host/host_platform.h"
#endif

namespace {

class Shortcuts : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    folder_ = machine_->ScratchFolder();
    ASSERT_TRUE(System().CreateFolder(folder_ + "\\Vesko"));
    ASSERT_TRUE(System().CreateFolder(folder_ + "\\Ostrelia"));
    product_ = folder_ + "\\Vesko\\Pliegorama.exe";
    uninstaller_ = folder_ + "\\Vesko\\DesInstalador.exe";
    machine_->WriteFile(product_, "MZ");
    machine_->WriteFile(uninstaller_, "MZ");
  }

  std::string folder_, product_, uninstaller_;
};

struct LinkCase {
  const char* name;
  const char* linkFileName;
  bool uninstaller;
  const char* workingSuffix;  // appended to the scratch folder
};

class LinkWritten : public Shortcuts, public testing::WithParamInterface<LinkCase> {};

TEST_P(LinkWritten, ReadsBackAsGiven) {
  const std::string target = GetParam().uninstaller ? uninstaller_ : product_;
  const std::string working = folder_ + GetParam().workingSuffix;
  Form().CreateShortcut(target, "", working, GetParam().linkFileName, folder_ + "\\Ostrelia");
  const auto link = machine_->ReadLink(folder_ + "\\Ostrelia\\" + GetParam().linkFileName);
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, target);
  EXPECT_EQ(link->arguments, "");
  EXPECT_EQ(link->workingFolder, working);
}

INSTANTIATE_TEST_SUITE_P(Links, LinkWritten,
                         testing::Values(LinkCase{"product", "Sistema de Lumentra.lnk", false, "\\Vesko"},
                                         LinkCase{"working_folder_trailing_separator", "Sistema de Lumentra.lnk", false,
                                                  "\\Vesko\\"},
                                         LinkCase{"uninstaller", "DesInstalador.lnk", true, "\\Vesko\\"}),
                         RowName());

TEST_F(Shortcuts, ExistingLinkIsReplaced) {
  Form().CreateShortcut(uninstaller_, "", folder_, "Sistema de Lumentra.lnk", folder_ + "\\Ostrelia");
  Form().CreateShortcut(product_, "", folder_ + "\\Vesko\\", "Sistema de Lumentra.lnk", folder_ + "\\Ostrelia");
  const auto link = machine_->ReadLink(folder_ + "\\Ostrelia\\Sistema de Lumentra.lnk");
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, product_);
  EXPECT_EQ(link->workingFolder, folder_ + "\\Vesko\\");
}

TEST_F(Shortcuts, MissingFolderIsSkippedSilently) {
  EXPECT_NO_THROW(Form().CreateShortcut(product_, "", folder_, "Sistema de Lumentra.lnk", folder_ + "\\Missing"));
  EXPECT_FALSE(System().FileExists(folder_ + "\\Missing\\Sistema de Lumentra.lnk"));
  EXPECT_FALSE(machine_->ReadLink(folder_ + "\\Missing\\Sistema de Lumentra.lnk").has_value());
}

// A desktop the shell could not name must not put a link at the drive's root.
TEST_F(Shortcuts, UnknownFolderWritesNothing) {
  EXPECT_NO_THROW(Form().CreateShortcut(product_, "", folder_, "InstaladorTestLink.lnk", ""));
  EXPECT_FALSE(System().FileExists("\\InstaladorTestLink.lnk"));
}

#ifndef _WIN32
struct FailureCase {
  const char* name;
  platform::ShellLinkFailure failure;
  const char* errorClass;
};

class LinkObjectFailure : public Shortcuts, public testing::WithParamInterface<FailureCase> {};

// A link object that cannot be made is an error that ends the install.
TEST_P(LinkObjectFailure, Raises) {
  dynamic_cast<platform::HostPlatform&>(System()).SetShellLinkFailure(GetParam().failure);
  EXPECT_EQ(ErrorClassOf([&] {
              Form().CreateShortcut(product_, "", folder_, "Sistema de Lumentra.lnk", folder_ + "\\Ostrelia");
            }),
            GetParam().errorClass);
  EXPECT_FALSE(System().FileExists(folder_ + "\\Ostrelia\\Sistema de Lumentra.lnk"));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LinkObjectFailure,
    testing::Values(FailureCase{"cannot_create", platform::ShellLinkFailure::CannotCreate, "EOleSysError"},
                    FailureCase{"no_interface", platform::ShellLinkFailure::NoInterface, "EIntfCastError"}),
    RowName());
#endif

}  // namespace
