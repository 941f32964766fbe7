// The contract of the dialog service (platform/dialogs.h), for every
// backend: the system's own (zenity on Linux, the common dialogs on
// Windows) and the scripted dialogs. What any backend answers without
// showing a dialog is checked for all; that a dialog which cannot be shown
// ends as a cancel, for the backends that can be kept from showing one
// (Linux without a desktop; the scripted dialogs told to cancel).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/dialogs.h"
#include "platform/in_memory/dialogs.h"
#include "test_util.h"

namespace dzv::platform {
namespace {

struct Backend {
  const char* name;
  std::unique_ptr<Dialogs> (*make)();  // null: the system's default
};

std::unique_ptr<Dialogs> MakeScripted() {
  auto dialogs = std::make_unique<ScriptedDialogs>();
  dialogs->confirm = false;
  dialogs->answer = std::string("/chosen\0\0", 9);
  return dialogs;
}

class DialogsTest : public ::testing::TestWithParam<Backend> {
 protected:
#if !defined(_WIN32)
  testing::WithoutDesktop no_desktop_;
#endif
  std::unique_ptr<Dialogs> owned_ = GetParam().make ? GetParam().make() : nullptr;
  Dialogs& dialogs_ = owned_ ? *owned_ : Dialogs::Default();
};

using DialogsContract = DialogsTest;

TEST_P(DialogsContract, TheShellAllocatorIsHadAndGivenBack) {
  EXPECT_FALSE(dialogs_.GetShellAllocator(nullptr));
  ShellAllocator* allocator = nullptr;
  ASSERT_TRUE(dialogs_.GetShellAllocator(&allocator));
  ASSERT_NE(allocator, nullptr);
  allocator->Release();
}

TEST_P(DialogsContract, AListThatNamesNoFolderGivesAnEmptyPath) {
  struct Foreign : ItemList {};
  const Foreign foreign;
  for (const ItemList* list :
       {static_cast<const ItemList*>(nullptr), static_cast<const ItemList*>(&foreign)}) {
    char path[kMaxPath] = "before";
    EXPECT_FALSE(dialogs_.GetPathFromItemList(list, path));
    EXPECT_STREQ(path, "");
  }
  EXPECT_FALSE(dialogs_.GetPathFromItemList(nullptr, nullptr));
}

TEST_P(DialogsContract, SettingsWithoutRoomForASelectionShowNothing) {
  EXPECT_FALSE(dialogs_.RunOpenFileDialog(nullptr));
  OpenFileSettings settings;
  settings.struct_size = sizeof settings;
  EXPECT_FALSE(dialogs_.RunOpenFileDialog(&settings));  // no buffer
  char file[8] = "keep";
  settings.file = file;
  settings.max_file = 0;
  EXPECT_FALSE(dialogs_.RunOpenFileDialog(&settings));
  EXPECT_STREQ(file, "keep");
}

TEST_P(DialogsContract, AMessageToNoDialogIsAnsweredWithZero) {
  const char* folder = "/";
  EXPECT_EQ(
      dialogs_.SendDialogMessage(0, kBrowseSetSelection, 1, reinterpret_cast<intptr_t>(folder)), 0);
}

using UnshownDialogs = DialogsTest;

TEST_P(UnshownDialogs, EndAsACancelLeavingTheCallersBuffersAlone) {
  char file[16] = "entry.txt";
  OpenFileSettings open;
  open.struct_size = sizeof open;
  open.filter = "Text\0*.txt\0\0";
  open.filter_index = 1;
  open.file = file;
  open.max_file = sizeof file;
  open.flags = kOfnExplorer | kOfnFileMustExist;
  EXPECT_FALSE(dialogs_.RunOpenFileDialog(&open));
  EXPECT_STREQ(file, "entry.txt");
  EXPECT_EQ(open.filter_index, 1u);

  char display_name[kMaxPath] = "before";
  BrowseSettings browse;
  browse.display_name = display_name;
  browse.title = "Where?";
  EXPECT_EQ(dialogs_.BrowseForFolder(browse), nullptr);
  EXPECT_STREQ(display_name, "before");
}

const Backend kEveryBackend[] = {{"System", nullptr}, {"Scripted", MakeScripted}};
INSTANTIATE_TEST_SUITE_P(Backends, DialogsContract, ::testing::ValuesIn(kEveryBackend),
                         [](const auto& info) { return std::string(info.param.name); });

const Backend kBackendsThatCanBeKeptFromShowing[] = {
#if !defined(_WIN32)
    {"System", nullptr},
#endif
    {"Scripted", MakeScripted},
};
INSTANTIATE_TEST_SUITE_P(Backends, UnshownDialogs,
                         ::testing::ValuesIn(kBackendsThatCanBeKeptFromShowing),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dzv::platform
