/* Gazref: the reference-database library's flat C interface.
 *
 * Texts are Shift-JIS (CP932), NUL-terminated. A host sets options, runs a
 * search, asks for the number of result rows, loads one row at a time into
 * a record and reads the record field by field:
 *
 *   1. optionally GZR_SetAddr_...; options stay in force until set again;
 *   2. a search; check its result and, on failure, the message buffer;
 *   3. GZR_GetAddrTotal() or GZR_GetShisetsuTotal();
 *   4. for each row i from 0 to total-1: the row loader, then the getters;
 *   5. rows stay until the next call that clears the same array.
 *
 * Message buffers hold at least 512 bytes; a null message buffer means that
 * no message is wanted. Text getters and GZR_Border_GetCode copy a whole
 * field with its NUL into the caller's buffer: the caller sizes it for the
 * longest field it expects.
 *
 * The state is process-wide and unlocked: a host that calls the library
 * from several threads serialises its calls.
 *
 * Result files (the FL forms): a search writes a new file, or, where a
 * regular file is there already, a file beside it that takes its name once
 * the rows are written whole. Where a search below removes its result file
 * after a failure, it removes only a file it made itself: an earlier file
 * at the path stays as it was (or is put back), and a device named as the
 * result file is written to but never removed.
 */
#ifndef GAZREF_H
#define GAZREF_H

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Options ---- */

/* Each stores its value and answers the previous one. Initial values:
 * DefaultAzaMode 0, AnalyzeExClass 4, DeleteGun 0, SkipAzaNasi 0. */
int GZR_SetAddr_DefaultAzaMode(int value);
int GZR_SetAddr_AnalyzeExClass(int value);
int GZR_SetAddr_DeleteGun(int value);
int GZR_SetAddr_SkipAzaNasi(int value);

/* The four footers (initially empty). A null text is the empty text; a
 * text over 255 bytes is refused, leaving the footer as it was. */
void GZR_SetAddr_FooterGaiku(const char* text);
void GZR_SetAddr_FooterZyukyo(const char* text);
void GZR_SetAddr_FooterOyaban(const char* text);
void GZR_SetAddr_FooterKoban(const char* text);

/* ---- Result arrays and totals ---- */

/* Empties both result arrays; both totals become 0. */
void GZR_InitDB(void);
/* The number of address rows (also stored as the total the row loaders
 * test). GZR_GetAddrFwTotal is the same function under a second name. */
int GZR_GetAddrTotal(void);
int GZR_GetAddrFwTotal(void);
/* The number of facility, category or area rows. */
int GZR_GetShisetsuTotal(void);

/* ---- Row loaders ---- */

/* Fill a record from row `row` (from 0). A row outside 0..total-1 loads
 * nothing: the text fields keep their values, the number fields become 0.
 * Records keep the last row loaded; clearing an array does not clear them. */
void GZR_GetAddrData(int row);
void GZR_GetAddrFwData(int row);
void GZR_GetShisetsuData(int row);

/* ---- Getters ----
 * Rows are CSV lines without quoting; a field is the text between commas
 * as it stands (quotes are kept). A row with fewer fields than asked gives
 * its last field. Number fields read like atol, saturated at the 32-bit
 * limits. Latitudes and longitudes are milliseconds of arc (1/1000 second,
 * 3,600,000 per degree) on the Tokyo datum; distances are whole metres. */

/* The short address record: fields 1, 2, 3, 4, 5. */
void GZR_GetA_AddrStr(char* buffer);
void GZR_GetA_YomiStr(char* buffer);
int GZR_GetA_Lat(void);
int GZR_GetA_Lon(void);
void GZR_GetA_GJis(char* buffer);

/* The full-form address record: level names are fields 1, 2, 4, 6, 8, 9,
 * readings 3, 5, 7, latitude 10, longitude 11, code 12, status 13. */
void GZR_GetA_Fw_AddrStr(char* buffer);
void GZR_GetA_Fw_Addr2ndStr(char* buffer);
void GZR_GetA_Fw_Addr3rdStr(char* buffer);
void GZR_GetA_Fw_Addr4thStr(char* buffer);
void GZR_GetA_Fw_Addr5thStr(char* buffer);
void GZR_GetA_Fw_Addr6thStr(char* buffer);
void GZR_GetA_Fw_Yomi2ndStr(char* buffer);
void GZR_GetA_Fw_Yomi3rdStr(char* buffer);
void GZR_GetA_Fw_Yomi4thStr(char* buffer);
int GZR_GetA_Fw_Lat(void);
int GZR_GetA_Fw_Lon(void);
void GZR_GetA_Fw_GJis(char* buffer);
int GZR_GetA_Fw_Status(void);
/* Field 14 of the loaded row; after a search that reads it from the code
 * (the restricted keyword searches and the multi-level search) the number
 * at the head of the code text instead. That number saturates: an
 * 11-digit code such as 13101001001 gives 2147483647. */
int GZR_GetA_Fw_Fuyo(void);

/* The facility record: name 1, reading 2, latitude 3, longitude 4,
 * address 5 and 6, code 7, categories 8, 9, 10, distance 11. */
void GZR_GetS_NameStr(char* buffer);
void GZR_GetS_YomiStr(char* buffer);
int GZR_GetS_Lat(void);
int GZR_GetS_Lon(void);
void GZR_GetS_AddrStr(char* buffer);
void GZR_GetS_Addr2ndStr(char* buffer);
void GZR_GetS_GJis(char* buffer);
void GZR_GetS_strBunruiLStr(char* buffer);
void GZR_GetS_strBunruiMStr(char* buffer);
void GZR_GetS_strBunruiSStr(char* buffer);
int GZR_GetS_Distance(void);

/* ---- Sorts ----
 * Rows sort ascending by the bytes of field `field` (from 1); they answer
 * 1, or 0 with the message. The totals do not change. */
int GZR_StringArray_Sort_CSV_J(int field, char* message); /* address rows */
int GZR_StringArray_Sort_CSV_S(int field, char* message); /* facility rows */
/* The lines of a CSV text file, rewritten: the sorted lines go to a new
 * file beside it that replaces it only when written whole, so a failed
 * write leaves the file as it was. */
int GZR_TXT_Sort_CSV(const char* fileName, int field, char* message);

/* ---- Address searches ----
 * Each empties the address rows first and refreshes the address total
 * before it returns (0 after an FL search, whose rows go to the result
 * file named by its first argument). The options in force at the call are
 * passed on: the four footers and DefaultAzaMode to all, DeleteGun and
 * SkipAzaNasi to the plain listings, AnalyzeExClass to the analysis. Every
 * search first probes the data folder's index kind. The ZEB searches leave
 * the prefectures' change-history files unread (old names and codes are not
 * followed to current ones); the others read them.
 *
 * The search text (or code) and the data folder must stay below 512 bytes;
 * longer ones are refused with "パラメータに無効な値が渡されました！(%s)".
 * A null interruption flag is refused the same way; the flag becomes 0 at
 * the start and 1 when the search stopped at maxRows (negative: no limit).
 * A null listing text or data folder is the empty text; a null keyword
 * or analysis text is refused.
 *
 * Listings by names ("都道府県 市区町村 大字 字丁目 ...", blank-separated;
 * the empty text lists the prefectures) and by code: six-field rows read
 * with GZR_GetAddrData; 1 rows written and sorted (by reading, for blocks
 * and lots by name), 0 failure or no rows ("対象データがありません！[%s]";
 * the FL form then leaves an empty result file). With DeleteGun 1 a county
 * municipality is written "町名（郡名）". With SkipAzaNasi nonzero an oaza
 * or aza/chome listing whose only row is the placeholder oaza or chome is
 * run again for the placeholder's children. Block and lot rows carry the
 * footers (a block by its 住居表示フラグ, a change-history block or lot by
 * its record's precision digit: 1 the Gaiku or Zyukyo footer, another
 * nonzero value the Oyaban or Koban footer); to list one level deeper
 * under such a row, pass its code (field 5) to the listing by code. */
int GZR_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                             int* interrupted, char* message);
int GZR_Jyusyo_FindListFirstFL(const char* resultFile, const char* text, const char* dataFolder,
                               int maxRows, int* interrupted, char* message);
/* As above without the county move and the placeholder step. */
int GZR_ZEB_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                                 int* interrupted, char* message);
int GZR_ZEB_Jyusyo_FindListFirstFL(const char* resultFile, const char* text, const char* dataFolder,
                                   int maxRows, int* interrupted, char* message);
/* By an address code: empty for the prefectures, 2 digits for a
 * prefecture's municipalities, 5 for a municipality's oaza, and so on. */
int GZR_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder, int maxRows,
                                  int* interrupted, char* message);
int GZR_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                    const char* dataFolder, int maxRows, int* interrupted,
                                    char* message);
int GZR_ZEB_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder, int maxRows,
                                      int* interrupted, char* message);
int GZR_ZEB_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                        const char* dataFolder, int maxRows, int* interrupted,
                                        char* message);

/* Keyword searches: full-form rows read with GZR_GetAddrFwData; 1 rows
 * written, 0 failure or no rows. maxRows 0 or negative: no limit.
 * IN PLACE: when nothing is found and `text` holds 大字, every 大字 is
 * removed from the caller's text and the search runs once more; `text`
 * must be a writable buffer. After TVX and ZEB_FindAll GZR_GetA_Fw_Fuyo
 * reads the row's final number; after WUL and ZEB_Find (restricted to the
 * prefecture and municipality texts; null is empty) the number at the head
 * of the code. */
int GZR_TVX_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                         int* interrupted, char* message);
int GZR_TVX_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                           const char* dataFolder, int maxRows, int* interrupted, char* message);
int GZR_ZEB_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                         int* interrupted, char* message);
int GZR_ZEB_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                           const char* dataFolder, int maxRows, int* interrupted, char* message);
int GZR_WUL_FindFirst(int searchType, const char* prefecture, const char* municipality, char* text,
                      const char* dataFolder, int maxRows, int* interrupted, char* message);
int GZR_WUL_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                        const char* municipality, char* text, const char* dataFolder, int maxRows,
                        int* interrupted, char* message);
int GZR_ZEB_FindFirst(int searchType, const char* prefecture, const char* municipality, char* text,
                      const char* dataFolder, int maxRows, int* interrupted, char* message);
int GZR_ZEB_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                        const char* municipality, char* text, const char* dataFolder, int maxRows,
                        int* interrupted, char* message);

/* Address analysis of one address text: at most one 14-field row (read
 * with GZR_GetAddrFwData; field 14 is the level matched), matched no
 * deeper than AnalyzeExClass allows (1 oaza, 2 aza/chome, 3 block, 4 lot).
 * IN PLACE: while nothing is found the caller's text loses every 大字, then
 * every 字, and the analysis runs again; `text` must be a writable buffer.
 * The _v2 forms answer -1 failure, 0 nothing found, 1 found, 2 the
 * municipality is not determined ("市区町村が特定できません！[%s]"); with
 * countyOptional 1 a municipality also matches without its county name.
 * The other two answer 1 when found, else 0, and match the county as
 * written. The FL forms leave no result file unless the row was found.
 * Only GZR_Jyusyo_Analyze_v2 makes GZR_GetA_Fw_Fuyo read field 14; the
 * other three leave that as the previous search set it. */
int GZR_Jyusyo_AnalyzeFL(const char* resultFile, char* text, const char* dataFolder, char* message);
int GZR_Jyusyo_Analyze(char* text, const char* dataFolder, char* message);
int GZR_Jyusyo_AnalyzeFL_v2(const char* resultFile, char* text, const char* dataFolder,
                            int countyOptional, char* message);
int GZR_Jyusyo_Analyze_v2(char* text, const char* dataFolder, int countyOptional, char* message);

/* ---- Border code ----
 * The address code of the area that holds the point (latitude and
 * longitude in thousandths of a second of arc, Tokyo datum), looked up in
 * the grid files "%02d.GDB" of the data folder. Empties the address rows
 * first. Answers 1 with the code text in `result`, else 0 with the message
 * ("住所コードの取得ができません！(緯度:%.3lf 経度:%.3lf)" when no area
 * holds the point) and `result` empty. */
int GZR_Border_GetCode(char* result, int latitude, int longitude, const char* dataFolder,
                       char* message);

/* ---- Facilities, categories and administrative areas ----
 * Each empties the facility rows first, then writes its rows into them
 * (the FL forms into a new result file, CR LF lines, which is removed
 * when it would stay empty or the search fails; see "Result files" above)
 * and refreshes the facility total. `maximum` is the most rows written (a
 * negative one is refused): a search with more rows stops there and sets
 * *overflow to 1, else *overflow becomes 0 (the facility search counts
 * each spelling of the name on its own). Each answers 1 when rows were
 * written, else 0 with the message. `dataFolder` holds the facility files.
 * Null texts count as empty; a null flag or message buffer is not written.
 *
 * The facility search: facilities by category (大分類, 中分類, 小分類),
 * name (also in its numeral, width and replacement spellings), the head of
 * the administrative name (blanks of `admin` ignored) and distance
 * `radius` metres around the point (latitude, longitude in thousandths of
 * a second of arc, Tokyo datum). Rows: name, reading, latitude, longitude,
 * prefecture, rest of the administrative name, code, the three categories
 * and the distance in whole metres (0 without a search point). Facilities
 * of 大分類 使用しない are never listed, those of 公衆トイレ only when
 * latitude, longitude and radius are all given. The array
 * form orders the rows by the data folder's 表示優先.tbl on the three
 * categories (rows of equal priority stay in distance order); the result
 * file keeps the search order. */
int GZR_Shisetsu_FindListFirst(const char* dai, const char* chu, const char* sho, const char* name,
                               const char* admin, int latitude, int longitude, double radius,
                               const char* dataFolder, int maximum, int* overflow, char* message);
int GZR_Shisetsu_FindListFirstFL(const char* resultFile, const char* dai, const char* chu,
                                 const char* sho, const char* name, const char* admin, int latitude,
                                 int longitude, double radius, const char* dataFolder, int maximum,
                                 int* overflow, char* message);
/* The category names one level below the (up to two) blank-separated
 * names of `category`, optionally only those with facilities in the
 * prefecture (and municipality), without 公衆トイレ, 使用しない and その他.
 * One field a row, in the order of the data; the array form orders them by
 * 表示優先.tbl (not with three words). A category word that names nothing
 * gives no row and leaves *overflow as it was (the area list too). */
int GZR_Bunrui_FindListFirst(const char* category, const char* prefecture, const char* municipality,
                             const char* dataFolder, int maximum, int* overflow, char* message);
int GZR_Bunrui_FindListFirstFL(const char* resultFile, const char* category, const char* prefecture,
                               const char* municipality, const char* dataFolder, int maximum,
                               int* overflow, char* message);
/* The administrative areas with facilities of the (up to three) categories,
 * each once in byte order, as rows "prefecture,rest". Working files go to a
 * folder of this process under $TMPDIR (else /tmp) and are removed before
 * the call returns. */
int GZR_Gyosei_FindListFirst(const char* category, const char* dataFolder, int maximum,
                             int* overflow, char* message);
int GZR_Gyosei_FindListFirstFL(const char* resultFile, const char* category, const char* dataFolder,
                               int maximum, int* overflow, char* message);

/* ---- Multi-level address search ----
 * A prefecture (may be null or empty: then the text may begin with one, or
 * every prefecture is searched) and an address text that may stop inside
 * its last name; blanks in the text are ignored. Rows of 14 fields:
 * prefecture, county + municipality, its reading, oaza, its reading,
 * aza/chome, its reading, block, lot (each with its footer), latitude,
 * longitude, code, state flag, level (3 oaza, 4 aza/chome, 5 block, 6
 * lot), sorted by the code. Where the text leads to no entry, the deepest
 * entries that matched a leading part of it. `stop` must not be null: the
 * search sets it to 0, ends early when another thread sets it to 1 (write
 * it atomically), and sets it to 1 when `maxRows` (negative: no limit)
 * rows were written. Answers 1 with rows, else 0 with the message
 * ("対象データがありません！[%s]" when nothing was found). The full-form
 * record's Fuyo then reads the code. The array form fills the address
 * rows; the file form writes the rows as the lines of a new file (left
 * empty when nothing was found, removed after a failure). */
int GZR_TVX_Jyusyo_FindListFirst2_EX(const char* prefecture, const char* address,
                                     const char* dataFolder, int maxRows, int* stop, char* message);
int GZR_TVX_Jyusyo_FindListFirst2_EX_FL(const char* resultFile, const char* prefecture,
                                        const char* address, const char* dataFolder, int maxRows,
                                        int* stop, char* message);

#ifdef __cplusplus
}
#endif

#endif /* GAZREF_H */
