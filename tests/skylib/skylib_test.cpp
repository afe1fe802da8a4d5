#include "skylib/skylib.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

struct RowName {
  template <class Info>
  std::string operator()(const Info& row_info) const {
    return row_info.param.name;
  }
};

struct TextRow {
  const char* name;
  std::string (*format)(double);
  double x;
  const char* text;
};
constexpr double kSec = 1.0 / 3600;  // one second of arc (DeToStr) or of time (ArToStr)

class SexagesimalTest : public testing::TestWithParam<TextRow> {};
TEST_P(SexagesimalTest, Text) {
  EXPECT_EQ(GetParam().format(GetParam().x), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, SexagesimalTest,
    testing::Values(TextRow{"de_half", DeToStr, 12.5, "+12°30'00\""},
                    TextRow{"de_negative", DeToStr, -3.25, "-03°15'00\""},
                    TextRow{"de_zero", DeToStr, 0, "+00°00'00\""},
                    TextRow{"de_sign_from_x", DeToStr, -0.0001, "-00°00'00\""},
                    TextRow{"de_minutes_carry", DeToStr, 45.999999, "+46°00'00\""},
                    TextRow{"de_minutes_59_9994", DeToStr, 10.99999, "+11°00'00\""},
                    TextRow{"de_seconds_58_92", DeToStr, 10.9997, "+10°59'59\""},
                    TextRow{"de_seconds_carry", DeToStr, (600 + 59.6) * kSec, "+00°11'00\""},
                    TextRow{"de_seconds_9_4", DeToStr, 9.4 * kSec, "+00°00'09\""},
                    TextRow{"de_seconds_9_6", DeToStr, 9.6 * kSec, "+00°00'10\""},
                    TextRow{"de_wide", DeToStr, 123.75, "+123°45'00\""},
                    TextRow{"ar_half", ArToStr, 5.5, "  5h30m00.0s"},
                    TextRow{"ar_zero", ArToStr, 0, "  0h00m00.0s"},
                    TextRow{"ar_hours_carry", ArToStr, 12.99999, " 13h00m00.0s"},
                    TextRow{"ar_minutes_59_995", ArToStr, 10 + 59.995 / 60, " 10h59m59.7s"},
                    TextRow{"ar_no_wrap", ArToStr, 23.99999, " 24h00m00.0s"},
                    TextRow{"ar_negative_zero", ArToStr, -0.5, " -0h30m00.0s"},
                    TextRow{"ar_not_cut", ArToStr, 1234, "1234h00m00.0s"},
                    TextRow{"ar_seconds_carry", ArToStr, (600 + 59.96) * kSec, "  0h11m00.0s"},
                    TextRow{"ar_seconds_59_94", ArToStr, (600 + 59.94) * kSec, "  0h10m59.9s"},
                    TextRow{"ar_seconds_9_94", ArToStr, 9.94 * kSec, "  0h00m09.9s"},
                    TextRow{"ar_seconds_9_96", ArToStr, 9.96 * kSec, "  0h00m10.0s"}),
    RowName{});

TEST(RealModSgn, SignFollowsX) {
  EXPECT_DOUBLE_EQ(RealMod(-30, 360), -30);
  EXPECT_DOUBLE_EQ(RealMod(750, 360), 30);
  EXPECT_DOUBLE_EQ(RealMod(-7.5, 2), -1.5);
  EXPECT_EQ(Sgn(-0.0), 1.0);
  EXPECT_EQ(Sgn(-1e-300), -1.0);
}

TEST(Jd, WorkedDates) {
  EXPECT_EQ(Jd(2000, 1, 1, 12), Jd2000);
  EXPECT_EQ(Jd(1950, 1, 1, 0), 2433282.5);
  EXPECT_EQ(Jd(1582, 10, 4, 0), 2299159.5);  // last Julian day, followed by 1582-10-15
  EXPECT_EQ(Jd(-4712, 1, 1, 12), 0.0);       // origin of the count
  EXPECT_NEAR(Jd(1957, 10, 4, 0.81 * 24), 2436116.31, 1e-6);  // Meeus, example 7.a
}

// Every Gregorian day from the reform on, against <chrono>'s civil calendar.
TEST(Jd, MatchesCivilCalendar) {
  using namespace std::chrono;
  for (sys_days day = sys_days(1582y / 10 / 15); day < sys_days(2400y / 1 / 1); day += days(1)) {
    const year_month_day ymd(day);
    ASSERT_EQ(Jd(int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()), 0),
              2440587.5 + day.time_since_epoch().count())
        << int(ymd.year()) << '-' << unsigned(ymd.month()) << '-' << unsigned(ymd.day());
  }
}

struct PrecessionRow {
  const char* name;
  void (*precess)(double&, double&, double, double);
  double ar, de, jd_from, jd_to, want_ar, want_de, tolerance;  // hours and degrees
};
// Meeus, example 21.b: theta Persei with its proper motion over 28.867 years already applied.
constexpr double kPersAr = 2 + 44.0 / 60 + (11.986 + 0.03425 * 28.867) / 3600;
constexpr double kPersDe = 49 + 13.0 / 60 + (42.48 - 0.0895 * 28.867) / 3600;

class PrecessionTest : public testing::TestWithParam<PrecessionRow> {};
TEST_P(PrecessionTest, Coordinates) {
  const PrecessionRow& row = GetParam();
  double ar = row.ar;
  double de = row.de;
  row.precess(ar, de, row.jd_from, row.jd_to);
  EXPECT_NEAR(ar, row.want_ar, row.tolerance);
  EXPECT_NEAR(de, row.want_de, row.tolerance);
}
INSTANTIATE_TEST_SUITE_P(Rows, PrecessionTest,
                         testing::Values(PrecessionRow{"fk4_b1950", PrecessionFK4, 0, 0, 2433282.5,
                                                       Jd2000, 0.042692, 0.278339, 5e-7},
                                         PrecessionRow{"fk5_b1950", PrecessionFK5, 0, 0, 2433282.5,
                                                       Jd2000, 0.042702, 0.278400, 5e-7},
                                         PrecessionRow{"fk5_theta_persei", PrecessionFK5, kPersAr,
                                                       kPersDe, Jd2000, 2462088.69, 41.547214 / 15,
                                                       49.348483, 2e-6},
                                         PrecessionRow{"fk4_same_epoch", PrecessionFK4, -3, 45,
                                                       2433282.5, 2433282.5, 21, 45, 1e-12},
                                         PrecessionRow{"fk5_same_epoch", PrecessionFK5, 27.5, -80,
                                                       Jd2000, Jd2000, 3.5, -80, 1e-12}),
                         RowName{});

TEST(Trace, OnlyTheEnvironmentCreatesTheFile) {
  const auto dir = std::filesystem::temp_directory_path() / ("kivrel_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "trace.txt").string();
  Settings().TraceFileName = path;
  try {
    WriteTrace("x");
    ADD_FAILURE() << "no exception";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.what(), "Cannot open file " + path);
  }
  EXPECT_FALSE(std::filesystem::exists(path));

  setenv("KIVREL_TRACE", path.c_str(), 1);
  setenv("KIVREL_LANGUAGE", "en", 1);
  ConfigureFromEnvironment();
  unsetenv("KIVREL_TRACE");
  unsetenv("KIVREL_LANGUAGE");
  EXPECT_TRUE(Settings().TraceEnabled);
  EXPECT_EQ(Settings().LanguageCode, "en");
  WriteTrace("hello");
  WriteTrace("again");
  std::stringstream content;
  content << std::ifstream(path).rdbuf();
  const std::string stamp = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d  )";
  EXPECT_TRUE(std::regex_match(content.str(), std::regex(stamp + "hello\n" + stamp + "again\n")))
      << content.str();
  Settings() = SkyLibSettings{};
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kivrel
