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
 * limits. */

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
/* The lines of a CSV text file, rewritten in place. */
int GZR_TXT_Sort_CSV(const char* fileName, int field, char* message);

/* ---- Border code ----
 * The address code of the area that holds the point (latitude and
 * longitude in thousandths of a second of arc, Tokyo datum), looked up in
 * the grid files "%02d.GDB" of the data folder. Empties the address rows
 * first. Answers 1 with the code text in `result`, else 0 with the message
 * ("住所コードの取得ができません！(緯度:%.3lf 経度:%.3lf)" when no area
 * holds the point) and `result` empty. */
int GZR_Border_GetCode(char* result, int latitude, int longitude, const char* dataFolder,
                       char* message);

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
                                     const char* dataFolder, int maxRows, int* stop,
                                     char* message);
int GZR_TVX_Jyusyo_FindListFirst2_EX_FL(const char* resultFile, const char* prefecture,
                                        const char* address, const char* dataFolder, int maxRows,
                                        int* stop, char* message);

#ifdef __cplusplus
}
#endif

#endif /* GAZREF_H */
