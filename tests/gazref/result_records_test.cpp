// The row records of the library: field cutting (no unquoting, the last
// field for a short row), the field-to-member mapping of the three records,
// the out-of-range rule of the loaders, the final number of a full-form row
// in both modes, and the options' footer rule.

#include "gazref/result_records.h"

#include <gtest/gtest.h>

#include <string>

#include "gazref/gazref_state.h"

namespace {

TEST(GetCsvField, CutsWithoutUnquotingAndGivesTheLastFieldOfAShortRow) {
  EXPECT_EQ(GetCsvField("a,b,c", 0), "a");
  EXPECT_EQ(GetCsvField("a,b,c", 2), "c");
  // Field 5 of a two-field row is its last field.
  EXPECT_EQ(GetCsvField("a,b", 4), "b");
  EXPECT_EQ(GetCsvField("only", 3), "only");
  EXPECT_EQ(GetCsvField("", 2), "");
  // Quotes stay; a quoted comma splits the field.
  EXPECT_EQ(GetCsvField("\"x\",y", 0), "\"x\"");
  EXPECT_EQ(GetCsvField("\"p,q\",r", 0), "\"p");
  EXPECT_EQ(GetCsvField("\"p,q\",r", 1), "q\"");
  // Empty fields count.
  EXPECT_EQ(GetCsvField("a,,c", 1), "");
  EXPECT_EQ(GetCsvField("a,b,", 2), "");
}

TEST(ReadFieldNumber, ReadsLikeAtolAndSaturates) {
  EXPECT_EQ(ReadFieldNumber("  -42abc"), -42);
  EXPECT_EQ(ReadFieldNumber("+7"), 7);
  EXPECT_EQ(ReadFieldNumber("abc"), 0);
  EXPECT_EQ(ReadFieldNumber(""), 0);
  EXPECT_EQ(ReadFieldNumber("13101001001"), INT32_MAX);
  EXPECT_EQ(ReadFieldNumber("-99999999999"), INT32_MIN);
  EXPECT_EQ(ReadFieldNumber("2147483647"), INT32_MAX);
  EXPECT_EQ(ReadFieldNumber("-2147483648"), INT32_MIN);
}

const char kFullRow[] =
    "東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,1,2,"
    "128446464,503165554,13101001001,3,77";

TEST(AddrFwRecord, MapsEachMemberToItsField) {
  const CStringArray rows = {kFullRow};
  AddrFwRecord r;
  LoadAddrFwRecord(&r, rows, 1, 0);
  EXPECT_EQ(r.AddrStr, "東京都");
  EXPECT_EQ(r.Addr2ndStr, "千代田区");
  EXPECT_EQ(r.Yomi2ndStr, "ちよだく");
  EXPECT_EQ(r.Addr3rdStr, "丸の内");  // field 4
  EXPECT_EQ(r.Yomi3rdStr, "まるのうち");
  EXPECT_EQ(r.Addr4thStr, "一丁目");
  EXPECT_EQ(r.Yomi4thStr, "いっちょうめ");
  EXPECT_EQ(r.Addr5thStr, "1");
  EXPECT_EQ(r.Addr6thStr, "2");
  EXPECT_EQ(r.Lat, 128446464);
  EXPECT_EQ(r.Lon, 503165554);
  EXPECT_EQ(r.GJis, "13101001001");
  EXPECT_EQ(r.Status, 3);
  EXPECT_EQ(r.Fuyo, 77);
}

TEST(AddrFwRecord, FuyoInBothModes) {
  AddrFwRecord r;
  LoadAddrFwRecord(&r, {kFullRow}, 1, 0);
  EXPECT_EQ(RecordFuyo(r, 0), 77);
  // From the code text: an 11-digit code saturates.
  EXPECT_EQ(RecordFuyo(r, 1), INT32_MAX);
  r.GJis = "13101xyz";
  EXPECT_EQ(RecordFuyo(r, 1), 13101);
  // Only the value 1 reads the code.
  EXPECT_EQ(RecordFuyo(r, 2), 77);
  // A 13-field row: field 14 is missing, so field 13 (the status) is read.
  LoadAddrFwRecord(&r, {"a,b,c,d,e,f,g,h,i,1,2,13101,5"}, 1, 0);
  EXPECT_EQ(r.Fuyo, 5);
  EXPECT_EQ(RecordFuyo(r, 1), 13101);
}

TEST(AddrRecord, ShortRowAndOutOfRangeRows) {
  const CStringArray rows = {"千代田区,ちよだく,128446464,503165554,13101", "x,y"};
  AddrRecord r;
  LoadAddrRecord(&r, rows, 2, 0);
  EXPECT_EQ(r.AddrStr, "千代田区");
  EXPECT_EQ(r.YomiStr, "ちよだく");
  EXPECT_EQ(r.Lat, 128446464);
  EXPECT_EQ(r.Lon, 503165554);
  EXPECT_EQ(r.GJis, "13101");
  // A two-field row: fields 3 and 4 are its last field "y", field 5 too.
  LoadAddrRecord(&r, rows, 2, 1);
  EXPECT_EQ(r.AddrStr, "x");
  EXPECT_EQ(r.Lat, 0);
  EXPECT_EQ(r.GJis, "y");
  // Out of range (total, negative, beyond the array): texts stay, numbers 0.
  LoadAddrRecord(&r, rows, 2, 0);
  for (int32_t row : {2, -1, INT32_MIN, INT32_MAX}) {
    LoadAddrRecord(&r, rows, 2, row);
    EXPECT_EQ(r.AddrStr, "千代田区") << row;
    EXPECT_EQ(r.GJis, "13101") << row;
    EXPECT_EQ(r.Lat, 0) << row;
    EXPECT_EQ(r.Lon, 0) << row;
    LoadAddrRecord(&r, rows, 2, 0);
  }
  // The total decides, not the array: a stale total larger than the array
  // never reads past it, a smaller one hides rows.
  LoadAddrRecord(&r, rows, 5, 3);
  EXPECT_EQ(r.AddrStr, "千代田区");
  EXPECT_EQ(r.Lat, 0);
  LoadAddrRecord(&r, rows, 1, 1);
  EXPECT_EQ(r.AddrStr, "千代田区");
}

TEST(ShisetsuRecord, MapsElevenFields) {
  ShisetsuRecord r;
  LoadShisetsuRecord(&r,
                     {"東京駅,とうきょうえき,128446000,503170000,東京都,千代田区丸の内,"
                      "13101,交通,鉄道,駅,123"},
                     1, 0);
  EXPECT_EQ(r.NameStr, "東京駅");
  EXPECT_EQ(r.YomiStr, "とうきょうえき");
  EXPECT_EQ(r.Lat, 128446000);
  EXPECT_EQ(r.Lon, 503170000);
  EXPECT_EQ(r.AddrStr, "東京都");
  EXPECT_EQ(r.Addr2ndStr, "千代田区丸の内");
  EXPECT_EQ(r.GJis, "13101");
  EXPECT_EQ(r.strBunruiLStr, "交通");
  EXPECT_EQ(r.strBunruiMStr, "鉄道");
  EXPECT_EQ(r.strBunruiSStr, "駅");
  EXPECT_EQ(r.Distance, 123);
  LoadShisetsuRecord(&r, {}, 0, 0);
  EXPECT_EQ(r.NameStr, "東京駅");
  EXPECT_EQ(r.Distance, 0);
}

TEST(GazrefOptions, SettersAndFooters) {
  GazrefOptions o;
  EXPECT_EQ(ExchangeOption(&o.AnalyzeExClass, -3), 4);
  EXPECT_EQ(ExchangeOption(&o.AnalyzeExClass, 2), -3);
  EXPECT_TRUE(SetFooter(&o, Footer::Oyaban, "番地"));
  EXPECT_EQ(o.Footers[2], "番地");
  EXPECT_TRUE(SetFooter(&o, Footer::Oyaban, nullptr));
  EXPECT_EQ(o.Footers[2], "");
  EXPECT_TRUE(SetFooter(&o, Footer::Koban, std::string(255, 'x').c_str()));
  EXPECT_EQ(o.Footers[3].size(), 255u);
  // Over 255 bytes: refused, the footer as it was.
  EXPECT_FALSE(SetFooter(&o, Footer::Koban, std::string(256, 'y').c_str()));
  EXPECT_EQ(o.Footers[3], std::string(255, 'x'));
}

TEST(GazrefState, ClearingEmptiesRowsAndTotalsButNotRecords) {
  GazrefState s;
  s.AddrResultArray = {"a,b,1,2,c", "d,e,3,4,f"};
  s.ShisetsuResultArray = {"x"};
  EXPECT_EQ(s.AddrTotal, 0);
  EXPECT_EQ(RefreshAddrTotal(&s), 2);
  EXPECT_EQ(RefreshShisetsuTotal(&s), 1);
  LoadAddrRecord(&s.Addr, s.AddrResultArray, s.AddrTotal, 1);
  ClearAddrResults(&s);
  EXPECT_TRUE(s.AddrResultArray.empty());
  EXPECT_EQ(s.AddrTotal, 0);
  EXPECT_EQ(s.ShisetsuTotal, 1);
  EXPECT_EQ(s.Addr.AddrStr, "d");
  ClearShisetsuResults(&s);
  EXPECT_EQ(s.ShisetsuTotal, 0);
}

}  // namespace
