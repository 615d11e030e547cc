// The veskor-search binary against the bundled archive server.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "groups/seen_record_format.h"
#include "tests/search_cli/cli_process.h"
#include "tests/support/archive_server_process.h"

namespace veskor::test {
namespace {

namespace fs = std::filesystem;

// UTF-8, as the server reads it. Seven posts of fr.test.accents hold "été";
// with three hits a page they fill pages of 3, 3 and 1.
constexpr char kCorpus[] =
    "fr.test.accents\t77\t01/07/2005\tposteur1@exemple.fr\tPhotos d'été 1\n"
    "fr.test.accents\t77\t02/07/2005\tposteur2@exemple.fr\tPhotos d'été 2\n"
    "fr.test.accents\t77\t03/07/2005\tposteur3@exemple.fr\tPhotos d'été 3\n"
    "fr.test.accents\t77\t04/07/2005\tposteur4@exemple.fr\tPhotos d'été 4\n"
    "fr.test.accents\t77\t05/07/2005\tposteur5@exemple.fr\tPhotos d'été 5\n"
    "fr.test.accents\t77\t06/07/2005\tlecteur@exemple.fr\tRe: été, suite\n"
    "fr.test.accents\t77\t07/07/2005\tléa@exemple.fr\tprix 5 € l'été\n"
    "fr.test.accents\t77\t08/07/2005\tléa@exemple.fr\thiver\n"
    "fr.test.autre\t78\t09/07/2005\tjean@exemple.fr\tété indien\n";

const std::string kAccentHits[] = {
    "prix 5 € l'été\t07/07/2005\tléa@exemple.fr\tfr.test.accents\n",
    "Re: été, suite\t06/07/2005\tlecteur@exemple.fr\tfr.test.accents\n",
    "Photos d'été 5\t05/07/2005\tposteur5@exemple.fr\tfr.test.accents\n",
    "Photos d'été 4\t04/07/2005\tposteur4@exemple.fr\tfr.test.accents\n",
    "Photos d'été 3\t03/07/2005\tposteur3@exemple.fr\tfr.test.accents\n",
    "Photos d'été 2\t02/07/2005\tposteur2@exemple.fr\tfr.test.accents\n",
    "Photos d'été 1\t01/07/2005\tposteur1@exemple.fr\tfr.test.accents\n",
};
constexpr char kBlankRow[] = "\t\t\t\n";

class SearchCliTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/veskor-search-cli-XXXXXX";
    dir_ = new fs::path(mkdtemp(pattern));
    std::ofstream(*dir_ / "corpus.tsv", std::ios::binary) << kCorpus;
    server_ = new ArchiveServerProcess(
        VESKOR_ARCHIVE_BIN,
        {"--corpus", (*dir_ / "corpus.tsv").string(), "--page-size", "3", "--slow-ms", "1000"});
  }
  static void TearDownTestSuite() {
    delete server_;
    fs::remove_all(*dir_);
    delete dir_;
  }
  void SetUp() override { ASSERT_TRUE(server_->Started()) << server_->Error(); }

  static CliRun Search(std::vector<std::string> args, CliRunSettings settings = {}) {
    args.insert(args.begin(), {"--archive", server_->Url()});
    return RunSearchCli(args, settings);
  }
  static std::string Page(const std::string& query) {
    return "Connexion \xC3\xA0 \n" + server_->Url() + "/articles.pl?" + query + "\n";
  }

  static inline fs::path* dir_ = nullptr;
  static inline ArchiveServerProcess* server_ = nullptr;
};

TEST_F(SearchCliTest, QuickSearchPrintsEveryHitOfEveryPageInUtf8) {
  CliRunSettings settings;
  settings.environment = {{"VESKOR_ARCHIVE", server_->Url() + "/"}};
  const CliRun run = RunSearchCli({"--newsgroup", "fr.test.accents", "été"}, settings);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::string expected;
  for (const std::string& line : kAccentHits) expected += line;
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.err, Page("search=%E9t%E9&gid=77&search=rechercher&thumb=") +
                         Page("gid=77&page=2&search=%E9t%E9&thumb=") +
                         Page("gid=77&page=3&search=%E9t%E9&thumb="));
}

TEST_F(SearchCliTest, GridKeepsTheBlankRowAfterEachPage) {
  const CliRun run = Search({"-q", "--grid", "--newsgroup", "fr.test.accents", "été"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const auto& h = kAccentHits;
  EXPECT_EQ(run.out, h[0] + h[1] + h[2] + kBlankRow + h[3] + h[4] + h[5] + kBlankRow + h[6] + kBlankRow);
  EXPECT_EQ(run.err, "");
}

TEST_F(SearchCliTest, CsvHasTitlesCrLfAndQuotesFieldsWithCommas) {
  const CliRun run = Search({"-q", "--csv", "--newsgroup", "fr.test.accents", "suite"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Sujet,Date,Posteur,Newsgroup\r\n"
            "\"Re: été, suite\",06/07/2005,lecteur@exemple.fr,fr.test.accents\r\n");
}

TEST_F(SearchCliTest, GroupSearchReadsTheGroupFileOfTheWorkingDirectory) {
  const fs::path work = *dir_ / "groupes";
  fs::create_directories(work);
  // The file is named in UTF-8; its lines are Windows-1252 with CR LF ends.
  // The first newsgroup's page is followed by a stray reply, which must not
  // become the next newsgroup's page.
  std::ofstream(work / "vacances d'été.txt", std::ios::binary)
      << "fr.egaree\r\nfault-stray\r\nfr.test.autre\r\n78\r\nfr.test.accents\r\n77\r\n";
  CliRunSettings settings;
  settings.workingDirectory = work.string();
  const CliRun run = Search({"-q", "--grid", "--group", "vacances d'été", "été indien"}, settings);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, kBlankRow + std::string("été indien\t09/07/2005\tjean@exemple.fr\tfr.test.autre\n") +
                         kBlankRow + kBlankRow);
  // One connection: one page after the other, the same output.
  const CliRun oneByOne = Search(
      {"-q", "--grid", "--connexions", "1", "--group", "vacances d'été", "été indien"}, settings);
  EXPECT_EQ(oneByOne.exitCode, 0) << oneByOne.err;
  EXPECT_EQ(oneByOne.out, run.out);
}

TEST_F(SearchCliTest, AFailureExitsWith1AndKeepsTheRowsAlreadyPrinted) {
  const CliRun run = Search({"-q", "--newsgroup", "fault-500-p2", "fichier"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "Sauvegarde - fichier 50 sur 50.rar\t25/02/2005\ttesteur3@exemple.fr\tfault-500-p2\n"
            "Sauvegarde - fichier 49 sur 50.rar\t24/02/2005\ttesteur2@exemple.fr\tfault-500-p2\n"
            "Sauvegarde - fichier 48 sur 50.rar\t23/02/2005\ttesteur1@exemple.fr\tfault-500-p2\n");
  EXPECT_EQ(run.err, "veskor-search : Impossible de joindre " + server_->Url() +
                         "/articles.pl?gid=fault-500-p2&page=2&search=fichier&thumb= : "
                         "erreur HTTP 500\n");
}

TEST_F(SearchCliTest, TheEuroSignIsAWindows1252Character) {
  const CliRun run = Search({"--newsgroup", "fr.test.accents", "€"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, kAccentHits[0]);
  EXPECT_NE(run.err.find("search=%80&"), std::string::npos) << run.err;
}

TEST_F(SearchCliTest, FirstCtrlCEndsTheSearchAfterThePageBeingLoaded) {
  CliRunSettings settings;
  settings.interrupts = 1;
  const CliRun run = Search({"--newsgroup", "fault-slow", "fichier"}, settings);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Sauvegarde - fichier 50 sur 50.rar\t25/02/2005\ttesteur3@exemple.fr\tfault-slow\n"
            "Sauvegarde - fichier 49 sur 50.rar\t24/02/2005\ttesteur2@exemple.fr\tfault-slow\n"
            "Sauvegarde - fichier 48 sur 50.rar\t23/02/2005\ttesteur1@exemple.fr\tfault-slow\n");
  EXPECT_EQ(run.err.find("page=2"), std::string::npos) << run.err;
}

TEST_F(SearchCliTest, SecondCtrlCEndsTheProgramAtOnce) {
  CliRunSettings settings;
  settings.interrupts = 2;
  const CliRun run = Search({"--newsgroup", "fault-slow", "fichier"}, settings);
  // The handler's own exit, not a death by the signal that it failed to catch.
  EXPECT_EQ(run.exitCode, 130) << "killed by signal " << run.killedBy;
  EXPECT_EQ(run.out, "");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// --nouveaux: each test has a record of its own in the suite's folder.
class NewHitsCli : public SearchCliTest {
 protected:
  void SetUp() override {
    SearchCliTest::SetUp();
    record_ = (*dir_ / ::testing::UnitTest::GetInstance()->current_test_info()->name()).string();
  }
  static std::vector<std::string> Args(const std::string& record, const std::string& newsgroup,
                                       const std::string& word = "été") {
    return {"--nouveaux", record, "--newsgroup", newsgroup, word};
  }
  static std::optional<ParsedSeenRecord> Parsed(const std::string& bytes) {
    std::string why;
    return ParseSeenRecord(bytes, why);
  }
  std::size_t RecordedCount() const {
    const std::string bytes = ReadFile(record_);
    const auto record = Parsed(bytes);
    return record ? record->lines.size() : 0;
  }
  std::string record_;
};

TEST_F(NewHitsCli, PrintsOnlyWhatTheRecordHasNotSeen) {
  const CliRun first = Search(Args(record_, "fr.test.accents"));
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(LineCount(first.out), 7u);
  EXPECT_TRUE(first.err.ends_with("\n7 nouveaux résultats sur 7\n")) << first.err;

  // Nothing new: not even the CSV titles, so that a job has nothing to mail.
  std::vector<std::string> csv = Args(record_, "fr.test.accents");
  csv.insert(csv.begin(), "--csv");
  const CliRun second = Search(csv);
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "");
  EXPECT_TRUE(second.err.ends_with("\n0 nouveau résultat sur 7\n")) << second.err;

  // One more post in the archive: that hit alone, and -q keeps stderr empty.
  const fs::path grown = *dir_ / "grown.tsv";
  std::ofstream(grown, std::ios::binary)
      << kCorpus << "fr.test.accents\t77\t10/07/2005\tneuf@exemple.fr\tété tout neuf\n";
  ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--corpus", grown.string(), "--page-size", "3"});
  ASSERT_TRUE(server.Started()) << server.Error();
  std::vector<std::string> third = Args(record_, "fr.test.accents");
  third.insert(third.begin(), {"--archive", server.Url(), "-q"});
  const CliRun run = RunSearchCli(third);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "été tout neuf\t10/07/2005\tneuf@exemple.fr\tfr.test.accents\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(NewHitsCli, AStoppedRunRecordsOnlyThePagesItPrinted) {
  // Ctrl-C while page 2 loads: pages 1 and 2 printed and recorded, no more.
  CliRunSettings settings;
  settings.interrupts = 1;
  settings.interruptedPage = 2;
  const CliRun stopped = Search(Args(record_, "fault-slow", "fichier"), settings);
  EXPECT_EQ(stopped.exitCode, 0) << stopped.err;
  EXPECT_EQ(LineCount(stopped.out), 6u);
  EXPECT_TRUE(stopped.err.ends_with("\n6 nouveaux résultats sur 6\n")) << stopped.err;
  EXPECT_EQ(RecordedCount(), 6u);

  // Page 3 fails: the same.
  record_ += "-erreur";
  const CliRun failed = Search(Args(record_, "fault-500-p3", "fichier"));
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_EQ(LineCount(failed.out), 6u);
  EXPECT_EQ(RecordedCount(), 6u);
}

TEST_F(NewHitsCli, TwoRunsAtOnceLoseNothing) {
  CliRun other;
  std::thread thread([&] { other = Search(Args(record_, "fr.test.autre")); });
  const CliRun run = Search(Args(record_, "fr.test.accents"));
  thread.join();
  EXPECT_EQ(LineCount(run.out) + LineCount(other.out), 8u);
  EXPECT_EQ(RecordedCount(), 8u);
  for (const char* newsgroup : {"fr.test.autre", "fr.test.accents"})
    EXPECT_EQ(Search(Args(record_, newsgroup)).out, "") << newsgroup;
}

TEST_F(NewHitsCli, AFullRecordKeepsTheNewest100000) {
  // 100,001 addresses; the oldest is the only one of a search, which goes
  // with it.
  std::string bytes = "# Veskor : r\xE9sultats d\xE9j\xE0 vus (format 1)\r\n"
                      "R\tnewsgroup\tfr.test.autre\tvieux\r\nR\tnewsgroup\tfr.test.autre\tx\r\n"
                      "1\tle-plus-vieux\r\n";
  for (int n = 1; n <= 100000; ++n) bytes += "2\ta" + std::to_string(n) + "\r\n";
  std::ofstream(record_, std::ios::binary) << bytes;
  const CliRun run = Search(Args(record_, "fr.test.accents"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string after = ReadFile(record_);
  const auto record = Parsed(after);
  ASSERT_TRUE(record);
  ASSERT_EQ(record->lines.size(), 100000u);
  EXPECT_EQ(record->searches.size(), 2u);
  EXPECT_EQ(record->Address(record->lines.front()), "a8");
  EXPECT_EQ(record->lines.back().search, *record->IndexOf(SearchKey::Quick("\xE9t\xE9", "fr.test.accents")));
}

TEST_F(NewHitsCli, AnUnreadableRecordIsLeftAlone) {
  std::ofstream(record_, std::ios::binary) << "mes notes\n";
  const CliRun run = Search(Args(record_, "fr.test.accents"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "veskor-search : Impossible de lire le relevé « " + record_ +
                         " » : ce n'est pas un relevé des résultats vus ; il est laissé tel quel\n");
  EXPECT_EQ(ReadFile(record_), "mes notes\n");
}

struct UsageCase {
  std::vector<std::string> args;
  std::string message;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << '[' << arg << ']';
}

class SearchCliUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(SearchCliUsage, ExitsWith2AndExplains) {
  const CliRun run = RunSearchCli(GetParam().args);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with("veskor-search : " + GetParam().message + "\n")) << run.err;
  EXPECT_NE(run.err.find("Usage : veskor-search"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, SearchCliUsage,
    testing::Values(
        UsageCase{{"mot"}, "indiquez --newsgroup NOM ou --group NOM"},
        UsageCase{{"--newsgroup", "fr.test"}, "le mot à chercher manque"},
        UsageCase{{"--newsgroup", "a", "--group", "b", "mot"}, "--newsgroup et --group ne vont pas ensemble"},
        UsageCase{{"--newsgroup", "a", "deux", "mots"},
                  "un seul mot à chercher est attendu (mettez plusieurs mots entre guillemets)"},
        UsageCase{{"--newsgroup", "a", "--vite", "mot"}, "option inconnue : --vite"},
        UsageCase{{"mot", "--newsgroup"}, "l'option --newsgroup demande une valeur"},
        UsageCase{{"--newsgroup", "a", "mot\xCE\xA9"},
                  "le caractère « Ω » de « motΩ » n'existe pas en Windows-1252, "
                  "le jeu de caractères de l'archive"},
        UsageCase{{"--group", "\xFF", "mot"}, "un argument n'est pas du texte UTF-8 valide"},
        UsageCase{{"--group", "g", "--connexions", "0", "mot"},
                  "--connexions attend un nombre de 1 à 16 : 0"},
        UsageCase{{"--group", "g", "--connexions=17", "mot"},
                  "--connexions attend un nombre de 1 à 16 : 17"},
        UsageCase{{"--group", "g", "--connexions", "-1", "mot"},
                  "--connexions attend un nombre de 1 à 16 : -1"},
        UsageCase{{"--group", "g", "--connexions=4x", "mot"},
                  "--connexions attend un nombre de 1 à 16 : 4x"},
        UsageCase{{"--grid", "--nouveaux", "vus.lst", "--newsgroup", "a", "mot"},
                  "--grid et --nouveaux ne vont pas ensemble"}));

TEST(SearchCliHelp, PrintsTheUsageAndSucceeds) {
  const CliRun run = RunSearchCli({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.out.starts_with("Usage : veskor-search")) << run.out;
}

}  // namespace
}  // namespace veskor::test
