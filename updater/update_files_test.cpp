#include "updater/update_files.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/platform/files.h"
#include "common/platform/profile_file.h"
#include "updater/path_folders.h"
#include "updater/test_http_server.h"
#include "updater/update_download.h"
#include "updater/update_notices.h"

namespace kavrel {
namespace {

using Message = RecordingMessageTarget::Message;

// A fresh installation in a temp folder: program folder "inst" (with
// update.ini and update\), Windows folder "win", system folder "sys".
class UpdatePlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // A folder of its own per run, so nothing left by an earlier run counts.
    root_ = Utf8ToText(std::string(::testing::TempDir()) + "kavrel_plan_" + name + "_" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    CreatePathFolders(root_ + u"/inst/update/");
    CreateFolder(root_ + u"/win");
    CreateFolder(root_ + u"/sys");
    config_.Load(Native(u"/inst"));
    config_.windowsFolder = Native(u"/win");
    config_.systemFolder = Native(u"/sys");
    config_.installedVersion = u"1.5.0.5";
    config_.serverVersion = u"1.5.0.7";
  }
  Text Native(const Text& relative) const { return WithNativeSeparators(root_ + relative); }
  Text Write(const Text& relative, const std::string& bytes) const {
    const Text path = Native(relative);
    CreatePathFolders(path);
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
  }
  std::string Read(const Text& relative) const {
    std::string bytes;
    if (!ReadFileBytes(Native(relative), bytes)) return "<missing>";
    return bytes;
  }
  Text Settings() const { return config_.SettingsPath(); }

  Text root_;
  CUpdateConfig config_;
};

// --- the update description --------------------------------------------------

struct Reader {
  const char* name;
  DescriptionReader read;
};

std::vector<Reader> Readers() {
  std::vector<Reader> readers{{"XmlDocument", ReadDescriptionWithXmlDocument}};
#ifdef _WIN32
  readers.push_back({"platform", ReadDescriptionWithPlatform});
#endif
  return readers;
}

// One table of descriptions, read by every reader of this build: each must
// give the same plan.
TEST_F(UpdatePlanTest, DescriptionsGiveTheSamePlansWithEveryReader) {
  struct Case {
    const char* name;
    const char* xml;
    // per accepted entry: file name | destination below root | URL | length
    std::vector<std::string> plan;
  } cases[] = {
      {"fields, local path and length",
       "<Update><File><FileName>Kavrel.exe</FileName><ProductVersion>1.5.0.6</ProductVersion>"
       "<Length> +1234x</Length><LocalPath>bin\\x86</LocalPath><URL>http://u/a\\Kavrel.exe</URL></File></Update>",
       {"Kavrel.exe|/inst/bin/x86/Kavrel.exe|http://u/a/Kavrel.exe|1234"}},
      {"at or below the installed version",
       "<r><File><FileName>a</FileName><ProductVersion>1.5.0.5</ProductVersion><URL>http://u/a</URL></File>"
       "<File><FileName>b</FileName><ProductVersion>1.5.0.10</ProductVersion><URL>http://u/b</URL></File></r>",
       {}},
      {"duplicate URL in other letter case",
       "<r><File><FileName>a</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/A.dll</URL></File>"
       "<File><FileName>b</FileName><ProductVersion>1.6</ProductVersion><URL>HTTP://U/a.DLL</URL></File></r>",
       {"a|/inst/a|http://u/A.dll|0"}},
      {"letter case of InstallDir and children, but not of File",
       "<r><File><FILENAME>a.txt</FILENAME><productversion>1.6</productversion><InstallDir>currentdir</InstallDir>"
       "<url>http://u/a.txt</url><length>7</length></File>"
       "<file><FileName>b</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/b</URL></file></r>",
       {"a.txt|/inst/a.txt|http://u/a.txt|7"}},
      {"install folders and unknown tokens",
       "<r><File><FileName>w</FileName><ProductVersion>1.6</ProductVersion><InstallDir>WINDOWSDIR</InstallDir>"
       "<URL>http://u/w</URL></File><File><FileName>s</FileName><ProductVersion>1.6</ProductVersion>"
       "<InstallDir>SystemDir</InstallDir><LocalPath>d</LocalPath><URL>http://u/s</URL></File>"
       "<File><FileName>x</FileName><ProductVersion>1.6</ProductVersion><InstallDir>TEMPDIR</InstallDir>"
       "<URL>http://u/x</URL></File></r>",
       {"w|/win/w|http://u/w|0", "s|/sys/d/s|http://u/s|0"}},
      {"names that climb out are refused",
       "<r><File><FileName>..\\evil.exe</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/1</URL></File>"
       "<File><FileName>ok</FileName><LocalPath>..\\..\\x</LocalPath><ProductVersion>1.6</ProductVersion><URL>http://u/2</URL></File>"
       "<File><FileName>..</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/3</URL></File>"
       "<File><FileName>c:evil</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/4</URL></File>"
       "<File><ProductVersion>1.6</ProductVersion><URL>http://u/5</URL></File>"
       "<File><FileName>fine</FileName><ProductVersion>1.6</ProductVersion><URL>http://u/6</URL></File></r>",
       {"fine|/inst/fine|http://u/6|0"}},
      {"File anywhere, later child wins, unknown children ignored",
       "<r><group><File><FileName>a</FileName><FileName>b</FileName><Other>z</Other>"
       "<ProductVersion>1.6</ProductVersion><URL>http://u/b</URL></File></group>"
       "<File><FileName>c</FileName><ProductVersion>2</ProductVersion><URL>http://u/c</URL></File></r>",
       {"b|/inst/b|http://u/b|0", "c|/inst/c|http://u/c|0"}},
  };
  for (const Reader& reader : Readers()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(reader.name) + ": " + c.name);
      const Text path = Write(u"/inst/update/desc.xml", c.xml);
      CUpdateFiles plan(config_);
      ASSERT_TRUE(plan.Load(path, reader.read));
      std::vector<std::string> got;
      for (const auto& f : plan.Files()) {
        std::string dest = TextToUtf8(f->destinationPath).substr(TextToUtf8(root_).size());
        for (char& ch : dest)
          if (ch == '\\') ch = '/';
        got.push_back(TextToUtf8(f->fileName) + "|" + dest + "|" + TextToUtf8(f->url) + "|" +
                      std::to_string(f->length));
      }
      EXPECT_EQ(got, c.plan);
    }
  }
}

TEST_F(UpdatePlanTest, UnreadableDescriptionEmptiesThePlan) {
  for (const Reader& reader : Readers()) {
    SCOPED_TRACE(reader.name);
    CUpdateFiles plan(config_);
    ASSERT_TRUE(plan.Load(Write(u"/inst/update/d.xml",
                                "<r><File><FileName>a</FileName><ProductVersion>2</ProductVersion>"
                                "<Length>5</Length><URL>http://u/a</URL></File>"
                                "<File><FileName>b</FileName><ProductVersion>2</ProductVersion>"
                                "<Length>6</Length><URL>http://u/b</URL></File></r>"),
                          reader.read));
    EXPECT_EQ(plan.TotalLength(), 11);
    EXPECT_FALSE(plan.Load(Native(u"/inst/update/none.xml"), reader.read));
    EXPECT_TRUE(plan.Files().empty());
  }
}

// --- version file, server list ---------------------------------------------------

TEST_F(UpdatePlanTest, ReadsTheVersionFromItsFirstFiftyBytes) {
  struct Case {
    std::string file;
    const char16_t* installed;
    const char16_t* server;
    bool due;
  } cases[] = {
      {"<version>1.5.0.7</version>", u"1.5.0.5", u"1.5.0.7", true},
      {"<v>1.5.0.10</v>", u"1.5.0.9", u"1.5.0.10", false},  // text order
      {"<v>1.5.0.5</v>", u"1.5.0.5", u"1.5.0.5", false},
      {"<v>" + std::string(50, '9') + "</v>", u"1.0", u"", false},  // no '<' within 50 bytes
      {"<?xml version=\"1.0\"?><v>2</v>", u"1.0", u"<v>2", true},    // the declaration's '>' ends the search
      {"", u"1.0", u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    config_.installedVersion = c.installed;
    EXPECT_EQ(ReadServerVersion(Write(u"/inst/update/version.xml", c.file), config_), c.due);
    EXPECT_EQ(config_.serverVersion, c.server);
  }
}

TEST_F(UpdatePlanTest, ServerListCarriesValuesOverAndSeesOnlyTopLevelServices) {
  const Text path = Write(u"/inst/update/servers.xml",
                          "<List><Service><UpdateXmlUrl>http://first</UpdateXmlUrl></Service>"
                          "<Service><Name>Main</Name><UpdateXmlUrl>http://main</UpdateXmlUrl></Service>"
                          "<Service><Name>Backup</Name></Service>"
                          "<Other><Service><Name>deep</Name></Service></Other>"
                          "<Service><UpdateXmlUrl>http://x</UpdateXmlUrl><Name>late</Name></Service></List>");
  const std::vector<CUpdateServer> servers = ParseServerList(path);
  std::vector<std::string> got;
  for (const auto& s : servers) got.push_back(TextToUtf8(s.Name) + "|" + TextToUtf8(s.UpdateXmlUrl));
  // An UpdateXmlUrl must follow the Name to be seen after it.
  EXPECT_EQ(got, (std::vector<std::string>{"|http://first", "Main|http://main", "Backup|http://main",
                                           "late|http://main"}));
  EXPECT_TRUE(ParseServerList(Native(u"/inst/update/none.xml")).empty());
}

// --- the plan download -------------------------------------------------------------

std::string DescriptionFor(const TestHttpServer& server, const std::vector<std::string>& names,
                           int length) {
  std::string xml = "<r>";
  for (const std::string& n : names)
    xml += "<File><FileName>" + n + "</FileName><ProductVersion>2</ProductVersion><Length>" +
           std::to_string(length) + "</Length><LocalPath>sub</LocalPath><URL>" + server.Url("/f/" + n) +
           "</URL></File>";
  return xml + "</r>";
}

// A failing second entry stops the loop: (1, 3) is reported and the third
// file is never asked for.
TEST_F(UpdatePlanTest, FailingEntryStopsTheDownloads) {
  TestHttpServer server([](const std::string& request) {
    if (request.find("/f/b.bin") != std::string::npos)
      return std::vector<TestHttpServer::Piece>{{"HTTP/1.1 404 Not Found\r\n\r\n"}};
    return TestHttpServer::Answer("12345", "Content-Length: 5\r\n");
  });
  ASSERT_TRUE(server.ok());
  CUpdateFiles plan(config_);
  ASSERT_TRUE(plan.Load(Write(u"/inst/update/d.xml", DescriptionFor(server, {"a.bin", "b.bin", "c.bin"}, 5)),
                        ReadDescriptionWithXmlDocument));
  ASSERT_EQ(plan.Files().size(), 3u);
  plan.SetFreeSpaceQuery([](std::uint64_t& free) { return free = 1u << 30, true; });
  RecordingMessageTarget window;
  plan.DownloadAll(window);

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(window.MessagesOf(WM_UPD_PLAN_READY), (std::vector<Message>{{WM_UPD_PLAN_READY, 3, 15, false}}));
  EXPECT_EQ(window.MessagesOf(WM_UPD_FILE_START),
            (std::vector<Message>{{WM_UPD_FILE_START, 0, 3, false}, {WM_UPD_FILE_START, 1, 3, false}}));
  EXPECT_EQ(window.MessagesOf(WM_UPD_FAILED).size(), 1u);
  EXPECT_EQ(window.Messages().back(), (Message{WM_UPD_DOWNLOADS_DONE, 1, 3, false}));
  EXPECT_EQ(Read(u"/inst/update/sub/a.bin"), "12345");
  EXPECT_EQ(plan.Files()[0]->downloadPath, Native(u"/inst/update/sub/a.bin"));
  EXPECT_EQ(CurrentFileName(), u"b.bin");
}

TEST_F(UpdatePlanTest, FreeSpaceExactlyEnoughIsEnough) {
  TestHttpServer server([](const std::string&) { return TestHttpServer::Answer("1234", "Content-Length: 4\r\n"); });
  ASSERT_TRUE(server.ok());
  for (std::uint64_t space : {8u, 7u}) {
    SCOPED_TRACE(space);
    CUpdateFiles plan(config_);
    ASSERT_TRUE(plan.Load(Write(u"/inst/update/d.xml", DescriptionFor(server, {"x", "y"}, 4)),
                          ReadDescriptionWithXmlDocument));
    plan.SetFreeSpaceQuery([space](std::uint64_t& free) { return free = space, true; });
    RecordingMessageTarget window;
    plan.DownloadAll(window);
    if (space == 8) {
      EXPECT_EQ(window.Messages().front(), (Message{WM_UPD_PLAN_READY, 2, 8, false}));
      EXPECT_EQ(window.Messages().back(), (Message{WM_UPD_DOWNLOADS_DONE, 2, 2, false}));
    } else {
      EXPECT_EQ(window.Messages(), (std::vector<Message>{{WM_UPD_NEED_SPACE, 0, 0, false}}));
    }
  }
  EXPECT_EQ(server.Requests().size(), 2u);
}

// A file name decoded from the address that would climb out of the update
// folder is refused before anything is requested.
TEST_F(UpdatePlanTest, DownloadNameThatClimbsIsRefused) {
  TestHttpServer server([](const std::string&) { return TestHttpServer::Answer("evil"); });
  ASSERT_TRUE(server.ok());
  CUpdateFiles plan(config_);
  plan.LoadEntries({{{u"FileName", u"a"}, {u"ProductVersion", u"2"},
                     {u"URL", Utf8ToText(server.Url("/x/..%5C..%5Cevil.exe"))}}});
  ASSERT_EQ(plan.Files().size(), 1u);
  plan.SetFreeSpaceQuery([](std::uint64_t& free) { return free = 100, true; });
  RecordingMessageTarget window;
  plan.DownloadAll(window);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(window.Messages().back(), (Message{WM_UPD_DOWNLOADS_DONE, 0, 1, false}));
  EXPECT_EQ(window.MessagesOf(WM_UPD_FAILED).size(), 1u);
}

// --- replacement and the start-up clean-up ---------------------------------------

// Builds a plan of entries already downloaded to update/<name>.
void PlanOf(CUpdateFiles& plan, const std::vector<std::string>& names) {
  std::vector<DescribedFile> files;
  for (const std::string& n : names)
    files.push_back({{u"FileName", Utf8ToText(n)}, {u"ProductVersion", u"2"}, {u"URL", Utf8ToText("http://u/" + n)}});
  plan.LoadEntries(files);
}

TEST_F(UpdatePlanTest, ReplacesWithBackupsAndRecordsTheVersion) {
  Write(u"/inst/a.dll", "old a");
  Write(u"/inst/b.dll", "old b");
  Write(u"/inst/b.dll_bak", "stale");
  CUpdateFiles plan(config_);
  PlanOf(plan, {"a.dll", "b.dll", "c.dll"});
  for (const auto& f : plan.Files())
    f->downloadPath = Write(u"/inst/update/" + f->fileName, "new " + TextToUtf8(f->fileName));

  EXPECT_TRUE(plan.ReplaceFiles());
  EXPECT_EQ(Read(u"/inst/a.dll"), "new a.dll");
  EXPECT_EQ(Read(u"/inst/b.dll"), "new b.dll");
  EXPECT_EQ(Read(u"/inst/c.dll"), "new c.dll");
  EXPECT_EQ(Read(u"/inst/a.dll_bak"), "<missing>");  // first-attempt backup deleted
  EXPECT_EQ(Read(u"/inst/b.dll_bak"), "old b");      // second-attempt backup stays
  EXPECT_EQ(GetProfileText(Settings(), u"version", u"softwareversion", u"?"), u"1.5.0.7");
  EXPECT_EQ(GetProfileText(Settings(), u"deletefilepath", u"file0", u"none"), u"none");
}

// A download that cannot be moved into place: the old file comes back from
// its backup and the version is not recorded, so the next run retries.
TEST_F(UpdatePlanTest, FailedMoveInRestoresTheBackupAndRecordsNothing) {
  Write(u"/inst/a.dll", "old a");
  Write(u"/inst/b.dll", "old b");
  SetProfileText(Settings(), u"version", u"softwareversion", u"1.5.0.5");
  CUpdateFiles plan(config_);
  PlanOf(plan, {"a.dll", "b.dll"});
  plan.Files()[0]->downloadPath = Write(u"/inst/update/a.dll", "new a");
  plan.Files()[1]->downloadPath = Native(u"/inst/update/gone.dll");

  EXPECT_FALSE(plan.ReplaceFiles());
  EXPECT_EQ(Read(u"/inst/a.dll"), "new a");
  EXPECT_EQ(Read(u"/inst/b.dll"), "old b");
  EXPECT_EQ(Read(u"/inst/b.dll_bak"), "<missing>");
  EXPECT_EQ(GetProfileText(Settings(), u"version", u"softwareversion", u"?"), u"1.5.0.5");
}

// An empty plan (nothing newer) still records the server version.
TEST_F(UpdatePlanTest, EmptyPlanRecordsTheServerVersion) {
  CUpdateFiles plan(config_);
  EXPECT_TRUE(plan.ReplaceFiles());
  EXPECT_EQ(GetProfileText(Settings(), u"version", u"softwareversion", u"?"), u"1.5.0.7");
}

TEST_F(UpdatePlanTest, PendingDeletesAreReadUpToTheFirstGap) {
  const Text a = Write(u"/inst/a_bak", "a"), b = Write(u"/inst/b_bak", "b");
  // A non-empty folder stands for a file that cannot be deleted.
  const Text stuck = Native(u"/inst/stuck_bak");
  Write(u"/inst/stuck_bak/inner", "x");

  SetProfileText(Settings(), u"deletefilepath", u"file0", a);
  SetProfileText(Settings(), u"deletefilepath", u"file1", stuck);
  SetProfileText(Settings(), u"deletefilepath", u"file2", b);
  DeletePendingFiles(Settings());
  EXPECT_FALSE(FileExists(a));
  EXPECT_FALSE(FileExists(b));
  // Recorded again from file0, so the next start tries once more.
  EXPECT_EQ(GetProfileText(Settings(), u"deletefilepath", u"file0", u""), stuck);
  EXPECT_EQ(GetProfileText(Settings(), u"deletefilepath", u"file1", u"none"), u"none");
  EXPECT_EQ(GetProfileText(Settings(), u"deletefilepath", u"file2", u"none"), u"none");

  // A gap at file0: nothing is read, file1 stays.
  const Text c = Write(u"/inst/c_bak", "c");
  RemoveProfileKey(Settings(), u"deletefilepath", u"file0");
  SetProfileText(Settings(), u"deletefilepath", u"file1", c);
  DeletePendingFiles(Settings());
  EXPECT_TRUE(FileExists(c));
  EXPECT_EQ(GetProfileText(Settings(), u"deletefilepath", u"file1", u""), c);
}

}  // namespace
}  // namespace kavrel
