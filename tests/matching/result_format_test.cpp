#include "matching/result_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "grid_fixture.h"
#include "support/test_util.h"

namespace {

using testutil::Show;
using testutil::Sjis;

// Both texts of one value pair in one format (datum 1).
struct Texts {
  int ok;
  std::string latitude;
  std::string longitude;
};

Texts Format(CAdrsContext& context, int32_t latitude, int32_t longitude) {
  char lat[kCoordinateTextSize], lon[kCoordinateTextSize];
  CoordinateRequest request;
  request.latitude = latitude;
  request.longitude = longitude;
  request.latitudeText = lat;
  request.latitudeTextSize = sizeof lat;
  request.longitudeText = lon;
  request.longitudeTextSize = sizeof lon;
  const int ok = context.FormatCoordinates(&request);
  return {ok, ok ? lat : "", ok ? lon : ""};
}

struct FormatCase {
  int32_t format, value;
  const char* text;
};

// 503999999 ms = 139 degrees 59 minutes 59.999 seconds; 128475000 ms =
// 35 degrees 41 minutes 15 seconds.
const FormatCase kFormatCases[] = {
    {1, 503999999, "503999999"},
    {2, 503999999, "50399999.9"},
    {3, 503999999, "503999.999"},
    {4, 503999999, "139999.999722222"},
    {5, 503999999, "13999.999972222"},
    {6, 503999999, "139.999999722"},
    {7, 503999999, "1395959.999"},
    {8, 503999999, "1395959999"},
    {6, 0, "0.000000000"},
    {7, 0, "00000.000"},
    {8, 0, "00000000"},
    {7, 128475000, "354115.000"},
    {8, 128475000, "354115000"},
    {6, 128475000, "35.687500000"},
    {2, 128475005, "12847500.5"},
    {7, 1, "00000.001"},
    {8, 60000, "00100000"},
};

TEST(FormatCoordinates, EveryFormatOfTheSameValues) {
  for (const FormatCase& c : kFormatCases) {
    CAdrsContext context;
    ASSERT_EQ(context.SetCoordinateFormat(c.format), 1);
    // The longitude is formatted from its own value with the same rule.
    const Texts texts = Format(context, c.value, 0);
    ASSERT_EQ(texts.ok, 1) << c.format;
    EXPECT_EQ(texts.latitude, c.text) << "format " << c.format << " of " << c.value;
    const Texts swapped = Format(context, 0, c.value);
    EXPECT_EQ(swapped.longitude, c.text) << "format " << c.format << " of " << c.value;
  }
}

TEST(FormatCoordinates, UnsetFormatIsMillisecondsAndSmallBuffersFail) {
  CAdrsContext context;
  const Texts texts = Format(context, 128475000, 503100000);
  ASSERT_EQ(texts.ok, 1);
  EXPECT_EQ(texts.latitude, "128475000");
  EXPECT_EQ(texts.longitude, "503100000");

  char lat[6], lon[kCoordinateTextSize];
  CoordinateRequest request;
  request.latitude = 128475000;
  request.latitudeText = lat;
  request.latitudeTextSize = sizeof lat;
  request.longitudeText = lon;
  request.longitudeTextSize = sizeof lon;
  EXPECT_EQ(context.FormatCoordinates(&request), 0);
  request.latitudeText = nullptr;
  EXPECT_EQ(context.FormatCoordinates(&request), 0);
  EXPECT_EQ(context.FormatCoordinates(nullptr), 0);
}

TEST(FormatCoordinates, JgdOutputNeedsTheParameterFile) {
  testutil::TempDir dir;
  CAdrsContext context;
  ASSERT_EQ(context.SetDatum(2), 1);
  ASSERT_EQ(context.SetDatumParameterFile(dir.Sys("TKY2JGD.PAR").c_str()), 1);
  EXPECT_EQ(Format(context, 128475000, 503100000).ok, 0);
  EXPECT_EQ(context.IsDatumParameterFileLoaded(), 0);

  // Once the file is there it is loaded by the next conversion.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("TKY2JGD.PAR"), gridfixture::SmoothGrid()));
  const Texts texts = Format(context, 128475000, 503100000);
  ASSERT_EQ(texts.ok, 1);
  EXPECT_EQ(context.IsDatumParameterFileLoaded(), 1);
  // 11.25 seconds north and west.
  EXPECT_EQ(texts.latitude, "128486250");
  EXPECT_EQ(texts.longitude, "503088750");

  // A new path is loaded again: an empty grid falls back to three
  // parameters.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("EMPTY.PAR"), gridfixture::Header()));
  ASSERT_EQ(context.SetDatumParameterFile(dir.Sys("EMPTY.PAR").c_str()), 1);
  const Texts fallback = Format(context, 128475000, 503100000);
  ASSERT_EQ(fallback.ok, 1);
  EXPECT_EQ(fallback.latitude, "128486656");
  EXPECT_EQ(fallback.longitude, "503088362");
}

TEST(FormatCoordinatePair, StandaloneFormatting) {
  char lat[kCoordinateTextSize], lon[kCoordinateTextSize];
  ASSERT_EQ(FormatCoordinatePair(1, "", 7, 128475000, 503999999, lat, lon), 1);
  EXPECT_STREQ(lat, "354115.000");
  EXPECT_STREQ(lon, "1395959.999");
  EXPECT_EQ(FormatCoordinatePair(3, "", 7, 0, 0, lat, lon), 0);
  EXPECT_EQ(FormatCoordinatePair(1, "", 9, 0, 0, lat, lon), 0);
  EXPECT_EQ(FormatCoordinatePair(2, "/nonexistent/TKY2JGD.PAR", 1, 0, 0, lat, lon), 0);
}

TEST(SplitMilliseconds, DegreesMinutesAndMillisecondsInTheMinute) {
  int32_t d = 0, m = 0, rest = 0;
  SplitMilliseconds(503999999, &d, &m, &rest);
  EXPECT_EQ(d, 139);
  EXPECT_EQ(m, 59);
  EXPECT_EQ(rest, 59999);
  SplitMilliseconds(-3660001, &d, &m, &rest);  // truncation toward zero
  EXPECT_EQ(d, -1);
  EXPECT_EQ(m, -1);
  EXPECT_EQ(rest, -1);
}

struct InputCase {
  int32_t format;
  double value, milliseconds;
};

const InputCase kInputCases[] = {
    {1, 503999999.0, 503999999.0},
    {2, 50399999.9, 503999999.0},
    {3, 503999.999, 503999999.0},
    {4, 139999.999722222, 503999999.0},
    {5, 13999.9999722222, 503999999.0},
    {6, 139.999999722, 503999998.9992},
    {7, 1395959.999, 503999999.0},
    {8, 1395959999.0, 503999999.0},
    {7, 354115.0, 128475000.0},
    {8, 354115000.0, 128475000.0},
    {7, 130.5, 90500.0},  // 1 minute 30.5 seconds
};

TEST(ConvertInputCoordinates, EachFormatToMilliseconds) {
  for (const InputCase& c : kInputCases) {
    CAdrsContext context;
    ASSERT_EQ(context.SetCoordinateFormat(c.format), 1);
    InputCoordinateRequest request;
    request.latitude = c.value;
    request.longitude = c.value;
    ASSERT_EQ(context.ConvertInputCoordinates(&request), 1) << c.format;
    EXPECT_NEAR(request.outLatitude, c.milliseconds, 1e-3) << c.format;
    EXPECT_NEAR(request.outLongitude, c.milliseconds, 1e-3) << c.format;
  }
  CAdrsContext context;  // unset format: milliseconds
  InputCoordinateRequest request;
  request.latitude = 128475000.5;
  request.longitude = 503100000.25;
  ASSERT_EQ(context.ConvertInputCoordinates(&request), 1);
  EXPECT_EQ(request.outLatitude, 128475000.5);  // not rounded
  EXPECT_EQ(request.outLongitude, 503100000.25);
  request.latitude = NAN;
  EXPECT_EQ(context.ConvertInputCoordinates(&request), 0);
}

TEST(ConvertInputCoordinates, JgdInputComesBackToTheTokyoPoint) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("TKY2JGD.PAR"), gridfixture::SmoothGrid()));
  CAdrsContext context;
  ASSERT_EQ(context.SetDatum(2), 1);
  ASSERT_EQ(context.SetDatumParameterFile(dir.Sys("TKY2JGD.PAR").c_str()), 1);
  InputCoordinateRequest request;
  request.latitude = 128486250;
  request.longitude = 503088750;
  ASSERT_EQ(context.ConvertInputCoordinates(&request), 1);
  EXPECT_NEAR(request.outLatitude, 128475000, 1.0);
  EXPECT_NEAR(request.outLongitude, 503100000, 1.0);
}

TEST(FormatCodePart, FiveDigitsThenALetterForTenThousands) {
  char out[kCodePartTextSize];
  EXPECT_STREQ(FormatCodePart(out, 0), "00000");
  EXPECT_STREQ(FormatCodePart(out, 99999), "99999");
  EXPECT_STREQ(FormatCodePart(out, 100000), "A0000");
  EXPECT_STREQ(FormatCodePart(out, 123456), "C3456");
  EXPECT_STREQ(FormatCodePart(out, 359999), "Z9999");
}

// The eight texts of ApplyOutputFormats in writable CP932 buffers, in the
// order oaza, chome, block, lot, county, municipality, oaza and chome
// readings.
struct Names {
  char text[8][64];

  explicit Names(std::initializer_list<const char8_t*> utf8) {
    int i = 0;
    for (const char8_t* t : utf8) {
      const std::string s = Sjis(t);
      std::memcpy(text[i++], s.c_str(), s.size() + 1);
    }
  }
  void Apply(CAdrsContext& context) {
    context.ApplyOutputFormats(text[0], text[1], text[2], text[3], text[4], text[5], text[6],
                               text[7]);
  }
  std::string operator[](int i) const { return text[i]; }
};

TEST(ApplyOutputFormats, ChomeSuffixesGoAndThenDigitsBecomeAscii) {
  CAdrsContext context;
  ASSERT_EQ(context.SetChomeFormat(2), 1);
  Names n({u8"", u8"１丁目", u8"", u8"", u8"", u8"", u8"", u8"いっちょうめ"});
  n.Apply(context);
  EXPECT_EQ(n[1], Sjis(u8"１")) << Show(n[1]);
  EXPECT_EQ(n[7], Sjis(u8"いっ")) << Show(n[7]);

  ASSERT_EQ(context.SetNumberFormat(2), 1);
  Names m({u8"大手町２", u8"１２丁目", u8"３番", u8"４５", u8"", u8"", u8"", u8"じゅうにちょうめ"});
  m.Apply(context);
  EXPECT_EQ(m[0], Sjis(u8"大手町2"));
  EXPECT_EQ(m[1], "12");
  EXPECT_EQ(m[2], Sjis(u8"3番"));
  EXPECT_EQ(m[3], "45");
  EXPECT_EQ(m[7], Sjis(u8"じゅうに"));

  // A reading without ちょうめ keeps 丁目.
  Names k({u8"", u8"１丁目", u8"", u8"", u8"", u8"", u8"", u8"いち"});
  k.Apply(context);
  EXPECT_EQ(k[1], Sjis(u8"1丁目"));  // digits only
  EXPECT_EQ(k[7], Sjis(u8"いち"));
}

TEST(ApplyOutputFormats, ReadingFormatsTurnHiraganaIntoKatakana) {
  CAdrsContext katakana;
  ASSERT_EQ(katakana.SetReadingFormat(2), 1);
  Names k({u8"", u8"", u8"", u8"", u8"ぐん", u8"がっこう", u8"おおて", u8"いち"});
  k.Apply(katakana);
  EXPECT_EQ(k[4], Sjis(u8"グン"));
  EXPECT_EQ(k[5], Sjis(u8"ガッコウ"));
  EXPECT_EQ(k[6], Sjis(u8"オオテ"));
  EXPECT_EQ(k[7], Sjis(u8"イチ"));

  CAdrsContext half;
  ASSERT_EQ(half.SetReadingFormat(3), 1);
  char text[16];
  std::strcpy(text, Sjis(u8"がっこう").c_str());
  EXPECT_EQ(katakana.SetReadingFormat(1), 1);
  EXPECT_EQ(katakana.ApplyReadingFormat(text), 0);
  EXPECT_EQ(half.ApplyReadingFormat(text), 1);
  EXPECT_EQ(std::string(text), Sjis(u8"ｶﾞｯｺｳ"));
  EXPECT_EQ(half.ApplyReadingFormat(text), 0);  // nothing left to change
}

TEST(FormatResultNames, SetsTheThreeFormatsOrRefuses) {
  Names n({u8"２番町", u8"３丁目", u8"４", u8"", u8"", u8"にばんちょう", u8"", u8"さんちょうめ"});
  auto run = [&n](int32_t chome, int32_t number, int32_t reading) {
    return FormatResultNames(chome, number, reading, n.text[0], n.text[1], n.text[2], n.text[3],
                             n.text[4], n.text[5], n.text[6], n.text[7]);
  };
  EXPECT_EQ(run(3, 2, 1), 0);
  EXPECT_EQ(run(1, 2, 4), 0);
  EXPECT_EQ(n[0], Sjis(u8"２番町"));  // nothing applied
  ASSERT_EQ(run(2, 2, 2), 1);
  EXPECT_EQ(n[0], Sjis(u8"2番町"));
  EXPECT_EQ(n[1], "3");
  EXPECT_EQ(n[2], "4");
  EXPECT_EQ(n[5], Sjis(u8"ニバンチョウ"));
  EXPECT_EQ(n[7], Sjis(u8"サン"));
}

TEST(DropNoOazaName, EmptiesNameAndReadingOfThePlaceholder) {
  CAdrsContext context;
  Names n({u8"（大字なし）", u8"おおあざなし", u8"大字丸の内", u8"よみ"});
  context.DropNoOazaName(n.text[0], n.text[1], 0);
  EXPECT_EQ(n[0], "");
  EXPECT_EQ(n[1], "");
  // The reading form counts only with the switch 1.
  Names r({u8"おおあざなし", u8"よみ"});
  context.DropNoOazaName(r.text[0], r.text[1], 0);
  EXPECT_EQ(r[0], Sjis(u8"おおあざなし"));
  context.DropNoOazaName(r.text[0], r.text[1], 1);
  EXPECT_EQ(r[0], "");
  EXPECT_EQ(r[1], "");
  context.DropNoOazaName(n.text[2], n.text[3], 1);
  EXPECT_EQ(n[2], Sjis(u8"大字丸の内"));
}

TEST(EndsWith, IgnoresSuffixBytesThatStartInsideACharacter) {
  // 88 92 | 9A 96 | DA: the bytes 92 9A 96 DA of 丁目 end the text, but 92
  // is the second byte of the first character.
  const char text[] = "\x88\x92\x9A\x96\xDA";
  EXPECT_EQ(EndsWith(text, Sjis(u8"丁目").c_str()), 0);
  CAdrsContext context;
  ASSERT_EQ(context.SetChomeFormat(2), 1);
  char chome[8];
  std::memcpy(chome, text, sizeof text);
  char reading[32];
  std::strcpy(reading, Sjis(u8"いっちょうめ").c_str());
  EXPECT_EQ(context.ApplyChomeFormat(chome, reading), 0);
  EXPECT_STREQ(chome, text);
}

}  // namespace
