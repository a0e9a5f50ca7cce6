// Where brm.cip comes from: --config, the current folder, the per-user file,
// and what a first start writes.
#include "app/config_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/configuration.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(UserFolders, XdgVariablesWinAndRelativeOnesFallBackOnHome) {
  struct Case {
    ConfigEnvironment env;
    UserFolders want;
  } cases[] = {
      {{"/h", "", "", "", "", "", ""},
       {"/h/.config/bramble", "/h/.local/state/bramble", "/h/.local/share/bramble"}},
      {{"/h", "/c", "/s", "/d", "", "", ""}, {"/c/bramble", "/s/bramble", "/d/bramble"}},
      {{"/h", "rel", "", "", "", "", ""},
       {"/h/.config/bramble", "/h/.local/state/bramble", "/h/.local/share/bramble"}},
      {{"", "/c", "", "", "", "", ""}, {"/c/bramble", "", ""}},
      {{"", "", "", "", "", "", ""}, {"", "", ""}},
  };
  for (const Case& c : cases) {
    UserFolders got = UserFoldersFor(c.env);
    EXPECT_EQ(got.config, c.want.config) << c.env.home << "|" << c.env.xdg_config_home;
    EXPECT_EQ(got.state, c.want.state);
    EXPECT_EQ(got.data, c.want.data);
  }
}

TEST(LocaleLanguage, FirstSetVariableDecidesAndUnknownLanguagesGiveEnglish) {
  const std::vector<std::string> have = {"en", "es", "pt"};
  struct Case {
    std::string lc_all, lc_messages, lang, want;
  } cases[] = {
      {"", "", "pt_BR.UTF-8", "pt"}, {"", "es_ES.UTF-8", "pt_BR", "es"},
      {"C", "es_ES", "pt_BR", "en"}, {"", "", "de_DE.UTF-8", "en"},
      {"", "", "", "en"},            {"", "", "es@euro", "es"},
      {"", "", "ES_es", "es"},       {"", "", "esperanto", "en"},
  };
  for (const Case& c : cases) {
    ConfigEnvironment env;
    env.lc_all = c.lc_all;
    env.lc_messages = c.lc_messages;
    env.lang = c.lang;
    EXPECT_EQ(LocaleLanguage(env, have), c.want) << c.lc_all << "|" << c.lc_messages << "|" << c.lang;
  }
}

TEST(FindConfiguration, ExplicitThenCurrentThenUserThenToWrite) {
  TempDir dir;
  const std::string here = dir.File("here");
  const std::string home = dir.File("home");
  ::mkdir(here.c_str(), 0755);
  ConfigEnvironment env;
  env.home = home;
  const std::string user = home + "/.config/bramble/brm.cip";

  ConfigChoice c = FindConfiguration("/x/other.cip", here, env);
  EXPECT_EQ(c.source, ConfigSource::kExplicit);
  EXPECT_EQ(c.path, "/x/other.cip");

  c = FindConfiguration("", here, env);
  EXPECT_EQ(c.source, ConfigSource::kUserToWrite);
  EXPECT_EQ(c.path, user);

  ConfigEnvironment homeless;
  EXPECT_EQ(FindConfiguration("", here, homeless).source, ConfigSource::kNone);

  ASSERT_TRUE(FirstStart(UserFoldersFor(env),
                         InstalledDataFor("", testing::BinaryDir() + "/data",
                                          testing::SourceDir() + "/data"),
                         env, nullptr));
  c = FindConfiguration("", here, env);
  EXPECT_EQ(c.source, ConfigSource::kUser);

  WriteBytes(here + "/brm.cip", "LANG=en\r\n");
  c = FindConfiguration("", here, env);
  EXPECT_EQ(c.source, ConfigSource::kCurrent);
  EXPECT_EQ(c.path, here + "/brm.cip");
}

TEST(FindSystemParameters, SysparThenHereThenPerUserOnlyForAnInstalledProgram) {
  TempDir dir;
  ConfigEnvironment env;
  env.home = dir.File("home");
  const std::string user = dir.File("home") + "/.config/bramble/syspar.par";
  ::mkdir(dir.File("home").c_str(), 0755);
  ::mkdir(dir.File("home/.config").c_str(), 0755);
  ::mkdir(dir.File("home/.config/bramble").c_str(), 0755);
  WriteBytes(user, "1=/d/\r\n");
  struct Case {
    const char* name;
    std::string explicit_path;
    bool here_syspar, here_cip, installed;
    std::string want;
  } cases[] = {
      {"--syspar wins", "/x/p.par", true, true, true, "/x/p.par"},
      {"here first", "", true, false, true, "here/syspar.par"},
      {"per-user when installed", "", false, false, true, user},
      {"build tree ignores the home", "", false, false, false, ""},
      {"brm.cip here without syspar.par", "", false, true, true, ""},
  };
  for (const Case& c : cases) {
    TempDir here_dir;
    const std::string here = here_dir.File("here");
    ::mkdir(here.c_str(), 0755);
    if (c.here_syspar) WriteBytes(here + "/syspar.par", "1=/h/\r\n");
    if (c.here_cip) WriteBytes(here + "/brm.cip", "LANG=en\r\n");
    std::string want = c.want;
    if (want == "here/syspar.par") want = here + "/syspar.par";
    EXPECT_EQ(FindSystemParameters(c.explicit_path, here, env, c.installed), want) << c.name;
  }
  // No home at all: the built-in parameters.
  EXPECT_EQ(FindSystemParameters("", dir.File("home"), ConfigEnvironment{}, true), "");
}

TEST(FirstStart, WritesFoldersDemoSysparAndAConfigurationInTheLocaleLanguage) {
  TempDir dir;
  ConfigEnvironment env;
  env.home = dir.File("home");
  env.xdg_data_home = dir.File("data");
  env.lang = "es_ES.UTF-8";
  const UserFolders f = UserFoldersFor(env);
  const InstalledData data =
      InstalledDataFor("", testing::BinaryDir() + "/data", testing::SourceDir() + "/data");
  ASSERT_TRUE(data.found());
  EXPECT_FALSE(data.installed);
  std::string why;
  ASSERT_TRUE(FirstStart(f, data, env, &why)) << why;

  Configuration c;
  c.config_folder = f.config;
  ParseConfiguration(ReadBytes(f.config + "/brm.cip"), &c);
  EXPECT_EQ(c.language, "es");
  EXPECT_EQ(c.data_folder, f.data + "/");
  EXPECT_EQ(c.work_folder, f.state + "/");
  EXPECT_EQ(c.message_folder, data.messages);
  EXPECT_EQ(c.help_folder, testing::SourceDir() + "/data/help/es/");
  EXPECT_EQ(c.db_name, "demo");
  struct stat st;
  EXPECT_EQ(::stat((f.data + "/demo.mst").c_str(), &st), 0);
  EXPECT_EQ(::stat((f.data + "/demo.xrf").c_str(), &st), 0);
  EXPECT_EQ(::stat(f.state.c_str(), &st), 0);
  EXPECT_NE(ReadBytes(f.config + "/syspar.par").find("1=" + f.data + "/"), std::string::npos);

  // A second first start keeps the person's demo.
  WriteBytes(f.data + "/demo.fdt", "mine");
  ASSERT_TRUE(FirstStart(f, data, env, &why)) << why;
  EXPECT_EQ(ReadBytes(f.data + "/demo.fdt"), "mine");
}

TEST(FirstStart, CopyOfAReadOnlyInstalledDemoIsWritableByItsOwner) {
  TempDir dir;
  const std::string demo = dir.File("share/demo");
  ::mkdir(dir.File("share").c_str(), 0755);
  ::mkdir(demo.c_str(), 0755);
  ::mkdir(dir.File("share/messages").c_str(), 0755);
  for (const char* ext : {"mst", "xrf", "fdt"}) {
    const std::string f = demo + "/demo." + ext;
    WriteBytes(f, std::string("bytes of ") + ext);
    ::chmod(f.c_str(), 0444);
  }
  InstalledData data;
  data.messages = dir.File("share/messages") + "/";
  data.demo = demo + "/";
  data.installed = true;
  ConfigEnvironment env;
  env.home = dir.File("home");
  const UserFolders f = UserFoldersFor(env);
  std::string why;
  ASSERT_TRUE(FirstStart(f, data, env, &why)) << why;
  for (const char* ext : {"mst", "xrf", "fdt"}) {
    const std::string copy = f.data + "/demo." + ext;
    struct stat st;
    ASSERT_EQ(::stat(copy.c_str(), &st), 0) << copy;
    EXPECT_NE(st.st_mode & S_IWUSR, 0u) << copy;
    EXPECT_EQ(ReadBytes(copy), std::string("bytes of ") + ext);
  }
}

TEST(FirstStart, FailsWithoutHomeOrData) {
  TempDir dir;
  ConfigEnvironment env;
  env.home = dir.File("home");
  std::string why;
  EXPECT_FALSE(FirstStart(UserFoldersFor(ConfigEnvironment{}),
                          InstalledDataFor("", testing::BinaryDir() + "/data", ""), env, &why));
  EXPECT_FALSE(FirstStart(UserFoldersFor(env), InstalledDataFor("", dir.File("none"), ""), env, &why));
  EXPECT_FALSE(why.empty());
}

TEST(InstalledData, ShareFolderBesideTheExecutableWinsOverTheBuildTree) {
  TempDir dir;
  const std::string prefix = dir.File("usr");
  ::mkdir(prefix.c_str(), 0755);
  ::mkdir((prefix + "/share").c_str(), 0755);
  ::mkdir((prefix + "/share/bramble").c_str(), 0755);
  ::mkdir((prefix + "/share/bramble/messages").c_str(), 0755);
  InstalledData d = InstalledDataFor(prefix + "/bin/bramble", testing::BinaryDir() + "/data", "");
  EXPECT_TRUE(d.installed);
  EXPECT_EQ(d.messages, prefix + "/share/bramble/messages/");
  EXPECT_EQ(d.param, prefix + "/share/bramble/param/%lang%/");
  d = InstalledDataFor(dir.File("elsewhere/bin/bramble"), testing::BinaryDir() + "/data", "");
  EXPECT_FALSE(d.installed);
  EXPECT_EQ(d.messages, testing::BinaryDir() + "/data/messages/");
}

TEST(ConfigWriteBack, GoesToTheFileThatWasRead) {
  TempDir dir;
  WriteBytes(dir.File("other.cip"), "LANG=es\r\nMSG=msg/\r\n");
  WriteBytes(dir.File("brm.cip"), "LANG=pt\r\n");
  ScriptedUi ui;
  Configuration c;
  std::string failed;
  ASSERT_EQ(ReadConfiguration(dir.File("other.cip"), ui, &c, &failed), ConfigReadResult::kRead);
  ASSERT_TRUE(WriteConfigurationLanguage("en", &c));
  EXPECT_EQ(ReadBytes(dir.File("other.cip")).substr(0, 9), "LANG=en\r\n");
  EXPECT_EQ(ReadBytes(dir.File("brm.cip")), "LANG=pt\r\n");
}

}  // namespace
}  // namespace bramble
