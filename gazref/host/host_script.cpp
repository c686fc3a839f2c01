#include "gazref/host/host_script.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include "plat/cp932.h"

namespace {

// ---- Argument kinds ----

struct Text {};      // const char*
struct Writable {};  // char*, given text, printed after the call
struct Out {};       // char*, a zeroed buffer, printed after the call
struct Flag {};      // int*, given value, printed after the call

template <typename K>
struct CType;
template <>
struct CType<int> {
  using type = int;
};
template <>
struct CType<double> {
  using type = double;
};
template <>
struct CType<Text> {
  using type = const char*;
};
template <>
struct CType<Writable> {
  using type = char*;
};
template <>
struct CType<Out> {
  using type = char*;
};
template <>
struct CType<Flag> {
  using type = int*;
};

// The values of one call, each kept alive until the call is printed.
class CallFrame {
 public:
  enum class Kind { Int, Double, Text, Writable, Out, Flag };

  struct Value {
    Kind kind = Kind::Int;
    int number = 0;
    double real = 0;
    bool isNull = false;
    std::unique_ptr<char[]> buffer;  // texts and buffers
    std::unique_ptr<int> flag;
  };

  std::vector<Value>& values() { return values_; }

  template <typename K>
  typename CType<K>::type Get(std::size_t i) {
    Value& v = values_[i];
    if constexpr (std::is_same_v<K, int>) {
      return v.number;
    } else if constexpr (std::is_same_v<K, double>) {
      return v.real;
    } else if constexpr (std::is_same_v<K, Flag>) {
      return v.isNull ? nullptr : v.flag.get();
    } else {
      return v.isNull ? nullptr : v.buffer.get();
    }
  }

 private:
  std::vector<Value> values_;
};

template <typename K>
constexpr CallFrame::Kind KindOf();
template <>
constexpr CallFrame::Kind KindOf<int>() {
  return CallFrame::Kind::Int;
}
template <>
constexpr CallFrame::Kind KindOf<double>() {
  return CallFrame::Kind::Double;
}
template <>
constexpr CallFrame::Kind KindOf<Text>() {
  return CallFrame::Kind::Text;
}
template <>
constexpr CallFrame::Kind KindOf<Writable>() {
  return CallFrame::Kind::Writable;
}
template <>
constexpr CallFrame::Kind KindOf<Out>() {
  return CallFrame::Kind::Out;
}
template <>
constexpr CallFrame::Kind KindOf<Flag>() {
  return CallFrame::Kind::Flag;
}

// The call itself, typed by the signature: answers the int result, or
// false for a void function.
using Invoker = bool (*)(void* function, CallFrame* frame, int* result);

template <typename R, typename... K, std::size_t... I>
bool InvokeWith(void* function, CallFrame* frame, int* result, std::index_sequence<I...>) {
  using F = R (*)(typename CType<K>::type...);
  const F f = reinterpret_cast<F>(function);
  if constexpr (std::is_void_v<R>) {
    f(frame->Get<K>(I)...);
    return false;
  } else {
    *result = f(frame->Get<K>(I)...);
    return true;
  }
}

template <typename R, typename... K>
bool Invoke(void* function, CallFrame* frame, int* result) {
  return InvokeWith<R, K...>(function, frame, result, std::index_sequence_for<K...>{});
}

struct Signature {
  const char* name;
  std::vector<CallFrame::Kind> kinds;
  Invoker invoke;
};

template <typename R, typename... K>
Signature Sig(const char* name) {
  return {name, {KindOf<K>()...}, &Invoke<R, K...>};
}

// Every export the host knows: its name and C signature. A new export is
// one more line here.
const std::vector<Signature>& Signatures() {
  static const std::vector<Signature> table = {
      Sig<int, int>("GZR_SetAddr_DefaultAzaMode"),
      Sig<int, int>("GZR_SetAddr_AnalyzeExClass"),
      Sig<int, int>("GZR_SetAddr_DeleteGun"),
      Sig<int, int>("GZR_SetAddr_SkipAzaNasi"),
      Sig<void, Text>("GZR_SetAddr_FooterGaiku"),
      Sig<void, Text>("GZR_SetAddr_FooterZyukyo"),
      Sig<void, Text>("GZR_SetAddr_FooterOyaban"),
      Sig<void, Text>("GZR_SetAddr_FooterKoban"),
      Sig<void>("GZR_InitDB"),
      Sig<int>("GZR_GetAddrTotal"),
      Sig<int>("GZR_GetAddrFwTotal"),
      Sig<int>("GZR_GetShisetsuTotal"),
      Sig<void, int>("GZR_GetAddrData"),
      Sig<void, int>("GZR_GetAddrFwData"),
      Sig<void, int>("GZR_GetShisetsuData"),
      Sig<void, Out>("GZR_GetA_AddrStr"),
      Sig<void, Out>("GZR_GetA_YomiStr"),
      Sig<int>("GZR_GetA_Lat"),
      Sig<int>("GZR_GetA_Lon"),
      Sig<void, Out>("GZR_GetA_GJis"),
      Sig<void, Out>("GZR_GetA_Fw_AddrStr"),
      Sig<void, Out>("GZR_GetA_Fw_Addr2ndStr"),
      Sig<void, Out>("GZR_GetA_Fw_Addr3rdStr"),
      Sig<void, Out>("GZR_GetA_Fw_Addr4thStr"),
      Sig<void, Out>("GZR_GetA_Fw_Addr5thStr"),
      Sig<void, Out>("GZR_GetA_Fw_Addr6thStr"),
      Sig<void, Out>("GZR_GetA_Fw_Yomi2ndStr"),
      Sig<void, Out>("GZR_GetA_Fw_Yomi3rdStr"),
      Sig<void, Out>("GZR_GetA_Fw_Yomi4thStr"),
      Sig<int>("GZR_GetA_Fw_Lat"),
      Sig<int>("GZR_GetA_Fw_Lon"),
      Sig<void, Out>("GZR_GetA_Fw_GJis"),
      Sig<int>("GZR_GetA_Fw_Status"),
      Sig<int>("GZR_GetA_Fw_Fuyo"),
      Sig<void, Out>("GZR_GetS_NameStr"),
      Sig<void, Out>("GZR_GetS_YomiStr"),
      Sig<int>("GZR_GetS_Lat"),
      Sig<int>("GZR_GetS_Lon"),
      Sig<void, Out>("GZR_GetS_AddrStr"),
      Sig<void, Out>("GZR_GetS_Addr2ndStr"),
      Sig<void, Out>("GZR_GetS_GJis"),
      Sig<void, Out>("GZR_GetS_strBunruiLStr"),
      Sig<void, Out>("GZR_GetS_strBunruiMStr"),
      Sig<void, Out>("GZR_GetS_strBunruiSStr"),
      Sig<int>("GZR_GetS_Distance"),
      Sig<int, int, Out>("GZR_StringArray_Sort_CSV_J"),
      Sig<int, int, Out>("GZR_StringArray_Sort_CSV_S"),
      Sig<int, Text, int, Out>("GZR_TXT_Sort_CSV"),
      Sig<int, Out, int, int, Text, Out>("GZR_Border_GetCode"),
      // Facilities, categories and administrative areas.
      Sig<int, Text, Text, Text, Text, Text, int, int, double, Text, int, Flag, Out>(
          "GZR_Shisetsu_FindListFirst"),
      Sig<int, Text, Text, Text, Text, Text, Text, int, int, double, Text, int, Flag, Out>(
          "GZR_Shisetsu_FindListFirstFL"),
      Sig<int, Text, Text, Text, Text, int, Flag, Out>("GZR_Bunrui_FindListFirst"),
      Sig<int, Text, Text, Text, Text, Text, int, Flag, Out>("GZR_Bunrui_FindListFirstFL"),
      Sig<int, Text, Text, int, Flag, Out>("GZR_Gyosei_FindListFirst"),
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_Gyosei_FindListFirstFL"),
      // Address searches.
      Sig<int, Text, Text, int, Flag, Out>("GZR_Jyusyo_FindListFirst"),
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_Jyusyo_FindListFirstFL"),
      Sig<int, Text, Text, int, Flag, Out>("GZR_ZEB_Jyusyo_FindListFirst"),
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_ZEB_Jyusyo_FindListFirstFL"),
      Sig<int, Text, Text, int, Flag, Out>("GZR_Jyusyo_FindListFirst_Code"),
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_Jyusyo_FindListFirst_CodeFL"),
      Sig<int, Text, Text, int, Flag, Out>("GZR_ZEB_Jyusyo_FindListFirst_Code"),
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_ZEB_Jyusyo_FindListFirst_CodeFL"),
      Sig<int, int, Writable, Text, int, Flag, Out>("GZR_TVX_FindAllFirst"),
      Sig<int, Text, int, Writable, Text, int, Flag, Out>("GZR_TVX_FindAllFirstFL"),
      Sig<int, int, Writable, Text, int, Flag, Out>("GZR_ZEB_FindAllFirst"),
      Sig<int, Text, int, Writable, Text, int, Flag, Out>("GZR_ZEB_FindAllFirstFL"),
      Sig<int, int, Text, Text, Writable, Text, int, Flag, Out>("GZR_WUL_FindFirst"),
      Sig<int, Text, int, Text, Text, Writable, Text, int, Flag, Out>("GZR_WUL_FindFirstFL"),
      Sig<int, int, Text, Text, Writable, Text, int, Flag, Out>("GZR_ZEB_FindFirst"),
      Sig<int, Text, int, Text, Text, Writable, Text, int, Flag, Out>("GZR_ZEB_FindFirstFL"),
      Sig<int, Text, Writable, Text, Out>("GZR_Jyusyo_AnalyzeFL"),
      Sig<int, Writable, Text, Out>("GZR_Jyusyo_Analyze"),
      Sig<int, Text, Writable, Text, int, Out>("GZR_Jyusyo_AnalyzeFL_v2"),
      Sig<int, Writable, Text, int, Out>("GZR_Jyusyo_Analyze_v2"),
      // The multi-level address search.
      Sig<int, Text, Text, Text, int, Flag, Out>("GZR_TVX_Jyusyo_FindListFirst2_EX"),
      Sig<int, Text, Text, Text, Text, int, Flag, Out>("GZR_TVX_Jyusyo_FindListFirst2_EX_FL"),
  };
  return table;
}

const Signature* FindSignature(const std::string& name) {
  for (const Signature& s : Signatures()) {
    if (name == s.name) return &s;
  }
  return nullptr;
}

// ---- Parsing ----

bool ParseInt(const std::string& text, int* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end || errno || value < INT32_MIN || value > INT32_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseDouble(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  *out = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

std::unique_ptr<char[]> Buffer(const std::string& content) {
  const std::size_t size = std::max(kHostBufferSize, content.size() + 1);
  auto buffer = std::make_unique<char[]>(size);
  std::memset(buffer.get(), 0, size);
  std::memcpy(buffer.get(), content.data(), content.size());
  return buffer;
}

bool IsNull(const ScriptWord& word) { return !word.quoted && word.text == "null"; }

// One argument of the kind from the word; false with a reason.
bool ParseArgument(CallFrame::Kind kind, const ScriptWord& word, CallFrame::Value* value,
                   std::string* error) {
  using Kind = CallFrame::Kind;
  value->kind = kind;
  switch (kind) {
    case Kind::Int:
      if (ParseInt(word.text, &value->number)) return true;
      *error = "not an int: " + word.text;
      return false;
    case Kind::Double:
      if (ParseDouble(word.text, &value->real)) return true;
      *error = "not a number: " + word.text;
      return false;
    case Kind::Flag:
      if (IsNull(word)) {
        value->isNull = true;
        return true;
      }
      value->flag = std::make_unique<int>(0);
      if (ParseInt(word.text, value->flag.get())) return true;
      *error = "not an int: " + word.text;
      return false;
    case Kind::Out:
      if (IsNull(word)) {
        value->isNull = true;
        return true;
      }
      if (word.quoted || word.text != "buf") {
        *error = "an out buffer is buf or null: " + word.text;
        return false;
      }
      value->buffer = Buffer("");
      return true;
    case Kind::Text:
    case Kind::Writable: {
      if (IsNull(word)) {
        value->isNull = true;
        return true;
      }
      std::string cp932;
      if (!plat::cp932::FromUtf8(word.text, cp932)) {
        *error = "not representable in CP932: " + word.text;
        return false;
      }
      value->buffer = Buffer(cp932);
      return true;
    }
  }
  return false;
}

std::string Shown(const char* cp932) { return plat::cp932::ToUtf8Display(cp932); }

// ---- Directives ----

using TextGetter = void (*)(char*);
using NumberGetter = int (*)();

// One getter of a record: a text getter or a number getter.
struct Getter {
  const char* name;
  bool text;
};

struct RecordView {
  const char* key;
  const char* total;
  const char* loader;
  std::vector<Getter> getters;
};

const std::vector<RecordView>& RecordViews() {
  static const std::vector<RecordView> views = {
      {"addr",
       "GZR_GetAddrTotal",
       "GZR_GetAddrData",
       {{"GZR_GetA_AddrStr", true},
        {"GZR_GetA_YomiStr", true},
        {"GZR_GetA_Lat", false},
        {"GZR_GetA_Lon", false},
        {"GZR_GetA_GJis", true}}},
      {"fw",
       "GZR_GetAddrFwTotal",
       "GZR_GetAddrFwData",
       {{"GZR_GetA_Fw_AddrStr", true},
        {"GZR_GetA_Fw_Addr2ndStr", true},
        {"GZR_GetA_Fw_Yomi2ndStr", true},
        {"GZR_GetA_Fw_Addr3rdStr", true},
        {"GZR_GetA_Fw_Yomi3rdStr", true},
        {"GZR_GetA_Fw_Addr4thStr", true},
        {"GZR_GetA_Fw_Yomi4thStr", true},
        {"GZR_GetA_Fw_Addr5thStr", true},
        {"GZR_GetA_Fw_Addr6thStr", true},
        {"GZR_GetA_Fw_Lat", false},
        {"GZR_GetA_Fw_Lon", false},
        {"GZR_GetA_Fw_GJis", true},
        {"GZR_GetA_Fw_Status", false},
        {"GZR_GetA_Fw_Fuyo", false}}},
      {"shisetsu",
       "GZR_GetShisetsuTotal",
       "GZR_GetShisetsuData",
       {{"GZR_GetS_NameStr", true},
        {"GZR_GetS_YomiStr", true},
        {"GZR_GetS_Lat", false},
        {"GZR_GetS_Lon", false},
        {"GZR_GetS_AddrStr", true},
        {"GZR_GetS_Addr2ndStr", true},
        {"GZR_GetS_GJis", true},
        {"GZR_GetS_strBunruiLStr", true},
        {"GZR_GetS_strBunruiMStr", true},
        {"GZR_GetS_strBunruiSStr", true},
        {"GZR_GetS_Distance", false}}},
      // Category rows (one field) and area rows (prefecture, rest) through
      // the facility record's first getters.
      {"bunrui", "GZR_GetShisetsuTotal", "GZR_GetShisetsuData", {{"GZR_GetS_NameStr", true}}},
      {"gyosei",
       "GZR_GetShisetsuTotal",
       "GZR_GetShisetsuData",
       {{"GZR_GetS_NameStr", true}, {"GZR_GetS_YomiStr", true}}},
  };
  return views;
}

bool Fail(std::string* out, const std::string& error) {
  *out += "error: " + error + "\n";
  return false;
}

bool RunRows(SymbolSource* symbols, const std::string& key, std::string* out) {
  for (const RecordView& view : RecordViews()) {
    if (key != view.key) continue;
    const auto total = reinterpret_cast<NumberGetter>(symbols->Find(view.total));
    const auto load = reinterpret_cast<void (*)(int)>(symbols->Find(view.loader));
    if (!total || !load) return Fail(out, std::string("not exported: ") + view.total);
    std::vector<void*> getters;
    for (const Getter& g : view.getters) {
      getters.push_back(symbols->Find(g.name));
      if (!getters.back()) return Fail(out, std::string("not exported: ") + g.name);
    }
    const int count = total();
    *out += "total " + std::to_string(count) + "\n";
    std::unique_ptr<char[]> buffer = Buffer("");
    for (int i = 0; i < count; ++i) {
      load(i);
      std::string row;
      for (std::size_t g = 0; g < getters.size(); ++g) {
        if (g) row += ",";
        if (view.getters[g].text) {
          reinterpret_cast<TextGetter>(getters[g])(buffer.get());
          row += Shown(buffer.get());
        } else {
          row += std::to_string(reinterpret_cast<NumberGetter>(getters[g])());
        }
      }
      *out += "row " + std::to_string(i) + ": " + row + "\n";
    }
    return true;
  }
  std::string keys;
  for (const RecordView& view : RecordViews()) {
    keys += std::string(keys.empty() ? "" : ", ") + view.key;
  }
  return Fail(out, "no such record: " + key + " (" + keys + ")");
}

bool RunDirective(SymbolSource* symbols, const std::vector<ScriptWord>& words, std::string* out) {
  const std::string& name = words[0].text;
  if (name == ".same" && words.size() == 3) {
    void* a = symbols->Find(words[1].text.c_str());
    void* b = symbols->Find(words[2].text.c_str());
    if (!a || !b) return Fail(out, "not exported: " + words[a ? 2 : 1].text);
    *out += a == b ? "same\n" : "different\n";
    return true;
  }
  if (name == ".rows" && words.size() == 2) return RunRows(symbols, words[1].text, out);
  return Fail(out, "unknown directive: " + name);
}

}  // namespace

bool SplitScriptLine(const std::string& line, std::vector<ScriptWord>* words, std::string* error) {
  words->clear();
  std::size_t i = 0;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size()) return true;
    ScriptWord word;
    if (line[i] == '"') {
      word.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          word.text += line[i++];
        } else {
          word.text += c;
        }
      }
      if (!closed) {
        *error = "unclosed quote";
        return false;
      }
    } else {
      while (i < line.size() && !isBlank(line[i])) word.text += line[i++];
    }
    // ${NAME}: the environment variable.
    std::string expanded;
    for (std::size_t p = 0; p < word.text.size();) {
      const std::size_t open = word.text.find("${", p);
      if (open == std::string::npos) {
        expanded += word.text.substr(p);
        break;
      }
      const std::size_t close = word.text.find('}', open + 2);
      if (close == std::string::npos) {
        *error = "unclosed ${";
        return false;
      }
      const std::string variable = word.text.substr(open + 2, close - open - 2);
      const char* value = std::getenv(variable.c_str());
      if (!value) {
        *error = "unset variable " + variable;
        return false;
      }
      expanded += word.text.substr(p, open - p) + value;
      p = close + 1;
    }
    word.text = std::move(expanded);
    words->push_back(std::move(word));
  }
}

bool RunScriptLine(SymbolSource* symbols, const std::string& line, std::string* out) {
  std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos || line[first] == '#') return true;
  std::string trimmed = line.substr(first);
  while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == ' ')) trimmed.pop_back();
  *out += "> " + trimmed + "\n";
  std::vector<ScriptWord> words;
  std::string error;
  if (!SplitScriptLine(trimmed, &words, &error)) return Fail(out, error);
  if (words[0].text[0] == '.') return RunDirective(symbols, words, out);

  const Signature* signature = FindSignature(words[0].text);
  if (!signature) return Fail(out, "unknown export: " + words[0].text);
  void* function = symbols->Find(signature->name);
  if (!function) return Fail(out, "not exported: " + words[0].text);
  if (words.size() - 1 != signature->kinds.size()) {
    return Fail(out,
                words[0].text + " takes " + std::to_string(signature->kinds.size()) + " arguments");
  }
  CallFrame frame;
  frame.values().resize(signature->kinds.size());
  for (std::size_t i = 0; i < signature->kinds.size(); ++i) {
    if (!ParseArgument(signature->kinds[i], words[i + 1], &frame.values()[i], &error)) {
      return Fail(out, "argument " + std::to_string(i + 1) + ": " + error);
    }
  }
  int result = 0;
  if (signature->invoke(function, &frame, &result)) {
    *out += "= " + std::to_string(result) + "\n";
  } else {
    *out += "= void\n";
  }
  using Kind = CallFrame::Kind;
  for (std::size_t i = 0; i < frame.values().size(); ++i) {
    const CallFrame::Value& v = frame.values()[i];
    if (v.kind != Kind::Writable && v.kind != Kind::Out && v.kind != Kind::Flag) continue;
    *out += "  #" + std::to_string(i + 1) + ": ";
    if (v.isNull) {
      *out += "null";
    } else if (v.kind == Kind::Flag) {
      *out += std::to_string(*v.flag);
    } else {
      *out += Shown(v.buffer.get());
    }
    *out += "\n";
  }
  return true;
}
