#pragma once
// The texts the system shows, in one place. Each is written into a
// caller's message buffer with bounded formatting (SetMessage,
// common/message.h); "%s" takes the path or the word named beside it.

// Files.
inline constexpr char kMsgFileOpen[] = "ファイルオープンエラー!(%s)";               // path
inline constexpr char kMsgFileRead[] = "ファイルの読み込みに失敗しました!(%s)";     // path
inline constexpr char kMsgFileCreate[] = "ファイルの作成に失敗しました！(%s)";      // path
inline constexpr char kMsgFileWrite[] = "ファイルへの書き込みに失敗しました!(%s)";  // path
inline constexpr char kMsgDataWrite[] = "データの書き込みに失敗しました！(%s)";     // path

// Memory.
inline constexpr char kMsgWorkMemory[] = "作業用メモリの確保に失敗しました！";
inline constexpr char kMsgMemory[] = "メモリの確保に失敗しました！[%s]";  // what was loaded

// Arguments and state.
inline constexpr char kMsgInvalidParameter[] = "パラメータに無効な値が渡されました！(%s)";
inline constexpr char kMsgNoDatabase[] = "データベースがセットされていません！";
inline constexpr char kMsgIndexNotOpen[] = "インデックスファイルがオープンされていません！";
inline constexpr char kMsgGroupLookupNotReady[] = "グループコード取得の初期化がされていません！";
inline constexpr char kMsgNoTargetData[] = "対象データがありません！[%s]";  // dataset
inline constexpr char kMsgDatumConversion[] = "世界測地系変換に失敗しました！";
inline constexpr char kMsgSearchConditionRead[] = "検索条件の読み込みに失敗しました！";
inline constexpr char kMsgAnalysisResult[] = "解析結果の取得に失敗しました！";
